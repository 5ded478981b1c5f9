#include "engine/Unfit.h"

namespace tidyfold {

namespace {

std::string Drive(const fs::Unfit& unfit) {
    return unfit.drive.empty() ? std::string("the drive") : "the " + unfit.drive + " drive";
}

// Which name: a folder's is not the file's own.
std::string WhichName(const fs::Unfit& unfit) {
    return unfit.folder ? " (the folder \"" + unfit.name + "\" on its way)" : std::string();
}

std::string Size(std::uint64_t limit) {
    // FAT32: 4 GiB less one byte, said the way people count.
    const std::uint64_t next = limit + 1;
    if (next % (std::uint64_t{1} << 30) == 0)
        return "files of " + std::to_string(next >> 30) + " GiB or more do not fit on this drive";
    return "files larger than " + std::to_string(limit) + " bytes do not fit on this drive";
}

}  // namespace

std::string UnfitReason(const fs::Unfit& unfit) {
    using Why = fs::Unfit::Why;
    switch (unfit.why) {
        case Why::Character:
            if (static_cast<unsigned char>(unfit.character) < 0x20)
                return Drive(unfit) + " cannot store control characters in a name" + WhichName(unfit);
            return Drive(unfit) + " cannot store '" + std::string(1, unfit.character) + "' in a name" +
                   WhichName(unfit);
        case Why::NameEnd:
            return Drive(unfit) + " cannot store a name that ends in a dot or a blank" + WhichName(unfit);
        case Why::Encoding:
            return Drive(unfit) + " cannot store a name that is not valid UTF-8 text" + WhichName(unfit);
        case Why::NameLength:
            return "the name is too long for " + Drive(unfit) + WhichName(unfit);
        case Why::Link:
            return Drive(unfit) + " cannot store links";
        case Why::Size:
            return unfit.limit != 0 ? Size(unfit.limit) : "the file is too large for " + Drive(unfit);
        case Why::None:
            break;
    }
    return {};
}

}  // namespace tidyfold
