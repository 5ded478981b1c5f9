// The words a person reads for what a drive cannot hold: the log, the dry
// run and the Preview all take them from here.

#include <gtest/gtest.h>

#include "engine/Unfit.h"

namespace tidyfold {
namespace {

fs::Unfit Refused(fs::Unfit::Why why, std::string drive, bool folder = false) {
    fs::Unfit unfit;
    unfit.why = why;
    unfit.drive = std::move(drive);
    unfit.name = folder ? "a:b" : "x";
    unfit.folder = folder;
    unfit.character = ':';
    return unfit;
}

TEST(UnfitReason, says_what_the_drive_cannot_hold) {
    using Why = fs::Unfit::Why;
    struct Case {
        fs::Unfit unfit;
        std::string words;
    };
    fs::Unfit fat = Refused(Why::Size, "FAT32");
    fat.limit = (4ull << 30) - 1;
    fs::Unfit control = Refused(Why::Character, "exFAT");
    control.character = '\t';
    const std::vector<Case> cases = {
        {Refused(Why::Character, "exFAT"), "the exFAT drive cannot store ':' in a name"},
        {Refused(Why::Character, "exFAT", true), "the exFAT drive cannot store ':' in a name (the folder \"a:b\" on its way)"},
        {control, "the exFAT drive cannot store control characters in a name"},
        {Refused(Why::NameEnd, ""), "the drive cannot store a name that ends in a dot or a blank"},
        {Refused(Why::Encoding, "NTFS"), "the NTFS drive cannot store a name that is not valid UTF-8 text"},
        {Refused(Why::NameLength, ""), "the name is too long for the drive"},
        {Refused(Why::Link, "FAT32"), "the FAT32 drive cannot store links"},
        {fat, "files of 4 GiB or more do not fit on this drive"},
        {Refused(Why::Size, ""), "the file is too large for the drive"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UnfitReason(c.unfit), c.words);
}

}  // namespace
}  // namespace tidyfold
