#include "engine/FolderPath.h"

#include <string_view>

namespace tidyfold {

std::string NormalisedFolder(const std::string& path) {
    if (path.empty() || path.front() != '/')
        return {};
    std::string out;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        std::string_view piece(path.data() + pos, next - pos);
        if (!piece.empty() && piece != ".") {
            out += '/';
            out += piece;
        }
        pos = next + 1;
    }
    return out;
}

bool HoldsFolder(const std::string& folder, const std::string& inner) {
    const std::string outer = NormalisedFolder(folder);
    const std::string in = NormalisedFolder(inner);
    if (outer.empty() || in.size() < outer.size() || in.compare(0, outer.size(), outer) != 0)
        return false;
    return in.size() == outer.size() || in[outer.size()] == '/';
}

}  // namespace tidyfold
