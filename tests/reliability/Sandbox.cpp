#include "tests/reliability/Sandbox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "fs/FileSystem.h"
#include "tests/support/TempDir.h"

namespace tidyfold::reliability {

std::string MakeTempRoot(const std::string& base) {
    std::string pattern = base + "/tidyfold-rel-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
    // Unprivileged children must be able to reach the tree.
    chmod(pattern.c_str(), 0755);
    return pattern;
}

Sandbox::Sandbox(const std::string& base, const std::string& offloadBase) : root_(MakeTempRoot(base)) {
    test::MakeDirs(Desktop());
    test::MakeDirs(AppFolder());
    // The home folder has a config folder without user-dirs.dirs, so the
    // Desktop is $HOME/Desktop.
    test::MakeDirs(Home() + "/.config");
    if (!offloadBase.empty() && offloadBase != base) {
        offloadRoot_ = MakeTempRoot(offloadBase);
        offload_ = offloadRoot_ + "/offload";
    } else {
        offload_ = root_ + "/offload";
    }
}

Sandbox::~Sandbox() {
    test::RemoveTree(root_);
    if (!offloadRoot_.empty())
        test::RemoveTree(offloadRoot_);
}

void Sandbox::WriteSettings(int copyAction, int delNullFiles, int delUCFolders) const {
    test::WriteFile(AppFolder() + "/settings.ini",
                    "[TYFL]\nTimelimit=7\nCopyAction=" + std::to_string(copyAction) +
                        "\nTrashPath=" + offload_ + "\nDelUCFolders=" + std::to_string(delUCFolders) +
                        "\nDelNullFiles=" + std::to_string(delNullFiles) + "\n");
}

void Sandbox::WriteArchiveList(const std::string& text) const {
    test::WriteFile(AppFolder() + "/compressed.lst", text);
}

std::vector<std::string> Sandbox::Environment() const {
    return {"HOME=" + Home(), "XDG_CONFIG_HOME=" + Home() + "/.config"};
}

void Sandbox::Activate() const {
    setenv("HOME", Home().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Home() + "/.config").c_str(), 1);
    fs::SetApplicationFolderForTesting(AppFolder());
}

}  // namespace tidyfold::reliability
