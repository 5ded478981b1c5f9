#include "tests/support/DriveImage.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/support/TempDir.h"

namespace tidyfold::test {

namespace {

// Whether program is on PATH.
bool Installed(const std::string& program) {
    return RunProgram("sh", {"-c", "command -v " + program}) == 0;
}

struct Tools {
    const char* mkfs;
    const char* mount;  // the FUSE driver; nullptr for the kernel's
};

Tools ToolsOf(DriveKind kind) {
    switch (kind) {
        case DriveKind::Ext4:
            return {"mkfs.ext4", nullptr};
        case DriveKind::Btrfs:
            return {"mkfs.btrfs", nullptr};
        case DriveKind::Xfs:
            return {"mkfs.xfs", nullptr};
        case DriveKind::Exfat:
            return {"mkfs.exfat", "mount.exfat-fuse"};
        case DriveKind::Ntfs:
            return {"mkntfs", "ntfs-3g"};
        case DriveKind::Fat32:
            return {"mkfs.vfat", "fusefat"};
    }
    return {"", nullptr};
}

std::vector<std::string> MkfsArguments(DriveKind kind, const std::string& image) {
    switch (kind) {
        case DriveKind::Ext4:
            return {"-q", "-F", image};
        case DriveKind::Btrfs:
            return {"-q", "-f", image};
        case DriveKind::Xfs:
            return {"-q", "-f", image};
        case DriveKind::Exfat:
            return {image};
        case DriveKind::Ntfs:
            return {"-Q", "-F", "-q", image};
        case DriveKind::Fat32:
            return {"-F", "32", image};
    }
    return {};
}

// Smallest sizes the tools accept.
std::uint64_t AtLeast(DriveKind kind, std::uint64_t size) {
    const std::uint64_t least = kind == DriveKind::Xfs ? 320ull << 20 : kind == DriveKind::Btrfs ? 128ull << 20 : 40ull << 20;
    return size < least ? least : size;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

}  // namespace

const char* DriveName(DriveKind kind) {
    switch (kind) {
        case DriveKind::Ext4:
            return "ext4";
        case DriveKind::Btrfs:
            return "btrfs";
        case DriveKind::Xfs:
            return "xfs";
        case DriveKind::Exfat:
            return "exFAT";
        case DriveKind::Ntfs:
            return "NTFS";
        case DriveKind::Fat32:
            return "FAT32";
    }
    return "?";
}

int RunProgram(const std::string& program, const std::vector<std::string>& arguments, std::string* output) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (output != nullptr)
        *output = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool PrivateMounts(std::string& why) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        why = std::string("cannot make a mount namespace of its own: ") + std::strerror(errno);
        return false;
    }
    return true;
}

DriveImage::DriveImage(DriveKind kind, const std::string& base, std::uint64_t size)
    : kind_(kind), folder_(MakeTempRoot(base)), image_(folder_ + "/drive.img"), root_(folder_ + "/drive") {
    mounted_ = Make(AtLeast(kind, size)) && Mount();
}

bool DriveImage::Make(std::uint64_t size) {
    const Tools tools = ToolsOf(kind_);
    for (const char* tool : {tools.mkfs, tools.mount, "losetup"}) {
        if (tool != nullptr && !Installed(tool)) {
            why_ = std::string(tool) + " is not installed (scripts/deps.sh installs it)";
            return false;
        }
    }
    const int fd = open(image_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const bool sized = fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) == 0;
    const int error = errno;
    if (fd >= 0)
        close(fd);
    if (!sized) {
        why_ = "cannot make the image " + image_ + ": " + std::strerror(error);
        return false;
    }
    std::string output;
    if (RunProgram(tools.mkfs, MkfsArguments(kind_, image_), &output) != 0) {
        why_ = std::string(tools.mkfs) + " failed: " + Trimmed(output);
        return false;
    }
    MakeDirs(root_);
    return true;
}

bool DriveImage::Mount() {
    std::string output;
    const Tools tools = ToolsOf(kind_);
    if (tools.mount == nullptr) {
        if (RunProgram("mount", {"-o", "loop", image_, root_}, &output) != 0) {
            why_ = "mounting is not allowed here: " + Trimmed(output);
            return false;
        }
        if (kind_ == DriveKind::Btrfs && RunProgram("btrfs", {"-q", "subvolume", "create", root_ + "/sub"}, &output) != 0)
            why_ = "cannot make a btrfs subvolume: " + Trimmed(output);
        return why_.empty();
    }
    if (RunProgram("losetup", {"-f", "--show", image_}, &output) != 0) {
        why_ = "no loop device can be had here: " + Trimmed(output);
        return false;
    }
    const std::string device = Trimmed(output);
    std::vector<std::string> arguments = {device, root_};
    if (kind_ == DriveKind::Ntfs)
        arguments = {"-o", "windows_names", device, root_};
    if (kind_ == DriveKind::Fat32)
        arguments = {device, root_, "-o", "rw+"};
    const int mounted = RunProgram(tools.mount, arguments, &output);
    // Busy with the mount, the device goes by itself once it is unmounted.
    RunProgram("losetup", {"-d", device});
    if (mounted != 0) {
        why_ = std::string("mounting through ") + tools.mount + " is not allowed here: " + Trimmed(output);
        return false;
    }
    return true;
}

DriveImage::~DriveImage() {
    if (mounted_) {
        // A FUSE driver may still be busy for a moment after the last file
        // closed.
        bool gone = false;
        for (int attempt = 0; attempt < 50 && !gone; ++attempt) {
            gone = umount2(root_.c_str(), 0) == 0 || errno != EBUSY;
            if (!gone)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!gone)
            umount2(root_.c_str(), MNT_DETACH);
    }
    try {
        RemoveTree(folder_);
    } catch (...) {
    }
}

}  // namespace tidyfold::test
