#include "fs/FreeName.h"

#include <cerrno>

namespace tidyfold::fs {

std::string CutAt(const std::string& text, std::size_t size) {
    if (text.size() <= size)
        return text;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
        --size;
    return text.substr(0, size);
}

std::string NumberedName(const std::string& name, int n, std::size_t room) {
    const std::size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && dot != 0;
    const std::string ext = hasExt ? name.substr(dot) : std::string();
    const std::string number = n == 1 ? std::string() : " (" + std::to_string(n) + ")";
    std::string stem = hasExt ? name.substr(0, dot) : name;
    if (stem.size() + number.size() + ext.size() > room) {
        const std::size_t fixed = number.size() + ext.size();
        stem = CutAt(stem, fixed < room ? room - fixed : 0);
    }
    return CutAt(stem + number + ext, room);
}

int ClaimName(const std::string& name, Clash clash, const std::function<int(const std::string&)>& claim,
              std::string& placed) {
    const int last = clash == Clash::Fail ? 1 : kMaxNumber;
    int error = EEXIST;
    for (int n = 1; n <= last && error == EEXIST; ++n) {
        // The name itself is never shortened: one the drive cannot hold is
        // refused (ENAMETOOLONG), and the person renames it.
        placed = n == 1 ? name : NumberedName(name, n);
        error = claim(placed);
    }
    if (error != 0)
        placed.clear();
    return error;
}

}  // namespace tidyfold::fs
