#pragma once

// A throw-away home for one tidying run: a home folder with its Desktop, an
// application folder holding settings.ini and compressed.lst, and an offload
// folder that may sit on another file system. Everything lives below one root
// that is removed with the object.

#include <string>
#include <vector>

namespace tidyfold::reliability {

// "Now" for every run of these suites: far enough ahead that every file is
// older than any time limit the suites use.
inline constexpr long long kFarFuture = 4102444800LL;  // 2100-01-01

class Sandbox {
public:
    // The root goes below base ("/tmp" is ext4 here, "/dev/shm" tmpfs). When
    // offloadBase is given and differs from base, the offload folder gets a
    // root of its own there, so moves into it cross file systems.
    explicit Sandbox(const std::string& base = "/tmp", const std::string& offloadBase = "");
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& Root() const { return root_; }
    std::string Home() const { return root_ + "/home"; }
    std::string Desktop() const { return Home() + "/Desktop"; }
    std::string AppFolder() const { return root_ + "/app"; }
    // Where the settings send the files (not created: the pass does that).
    const std::string& Offload() const { return offload_; }
    // Where files go when settings.ini cannot be read and defaults apply.
    std::string DefaultTrash() const { return Home() + "/Trash"; }

    void WriteSettings(int copyAction, int delNullFiles = 0, int delUCFolders = 0) const;
    void WriteArchiveList(const std::string& text) const;

    // HOME and XDG_CONFIG_HOME for a child process ("NAME=value" entries).
    std::vector<std::string> Environment() const;
    // Points this process at the sandbox: environment and application folder.
    void Activate() const;

private:
    std::string root_;
    std::string offloadRoot_;  // empty when the offload folder is below root_
    std::string offload_;
};

// mkdtemp below base; throws on failure.
std::string MakeTempRoot(const std::string& base);

}  // namespace tidyfold::reliability
