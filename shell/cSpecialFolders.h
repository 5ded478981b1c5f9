#pragma once

#include <string>

namespace tidyfold {

// The desktop's special folders as text, looked up afresh on every read; empty
// text where Linux has no such folder.
class cSpecialFolders {
public:
    std::string COMMON_FAVORITES() const;
    std::string COMMON_STARTUP() const;
    std::string COMMON_STARTMENU() const;
    std::string COMMON_PROGRAMS() const;
    std::string StartMenu() const;
    std::string Recent() const;
    std::string Startup() const;
    std::string Favorites() const;
    std::string Personal() const;
    std::string Programs() const;
    std::string Desktop() const;
    std::string Windows() const;

private:
    std::string GetSpecialFolderPath(const int& folder) const;
};

}  // namespace tidyfold
