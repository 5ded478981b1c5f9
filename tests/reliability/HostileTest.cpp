// Hostile Desktops: link loops, links to "/", to the home folder and to a
// tree outside, a FIFO, a socket, a folder nobody may read, a name of 255
// bytes, a path near PATH_MAX and a folder of 100,000 entries. In every mode
// the pass never follows a link, never blocks (a watchdog alarm kills a hung
// pass), never crashes, loses nothing and touches nothing outside the
// Desktop and the offload folder.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "engine/cTidyfold.h"
#include "base/Error.h"
#include "tests/reliability/PassCheck.h"
#include "tests/reliability/LossCheck.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace tidyfold::reliability {
namespace {

// Kills the whole test binary when a pass hangs, so a blocking open of a
// FIFO fails the suite instead of stalling it.
class Watchdog {
public:
    explicit Watchdog(unsigned seconds) {
        signal(SIGALRM, SIG_DFL);
        alarm(seconds);
    }
    ~Watchdog() { alarm(0); }
};

void Link(const std::string& target, const std::string& path) {
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path << ": " << std::strerror(errno);
}

void MakeSocket(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path) << path;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    close(fd);  // the socket file stays
}

// A file at a path of almost PATH_MAX bytes, built from 200-byte folder names.
std::string MakeDeepFile(const std::string& desktop) {
    std::string path = desktop + "/deep";
    const std::string folder(200, 'd');
    while (path.size() + 1 + folder.size() + 1 + 40 < PATH_MAX - 1)
        path += "/" + folder;
    test::MakeDirs(path);
    path += "/" + std::string(PATH_MAX - 2 - path.size() - 1, 'f');
    test::WriteFile(path, "at the bottom");
    return path;
}

std::set<std::string> RootNames() {
    std::set<std::string> names;
    if (DIR* dir = opendir("/")) {
        while (dirent* entry = readdir(dir))
            names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

struct Hostile {
    std::string decoy;  // a tree outside the home folder, reached by links
};

// The hostile entries, plus a few ordinary files so there is work to do.
Hostile BuildHostileTree(const Sandbox& box) {
    const std::string d = box.Desktop();
    Hostile hostile{box.Path() + "/decoy"};
    test::WriteFile(hostile.decoy + "/secret.txt", "outside the Desktop");
    test::WriteFile(hostile.decoy + "/dir/inner.txt", "also outside");
    test::WriteFile(box.Home() + "/Documents/keep.txt", "the user's own file");
    test::WriteFile(box.Home() + "/.profile", "# shell start-up\n");

    test::WriteFile(d + "/plain.txt", "an ordinary file");
    test::WriteFile(d + "/sub/file.txt", "another ordinary file");
    Link("loopB", d + "/loopA");
    Link("loopA", d + "/loopB");
    Link("..", d + "/sub/self");
    Link("/", d + "/root");
    Link(box.Home(), d + "/home");
    Link(hostile.decoy + "/secret.txt", d + "/secret");
    Link(hostile.decoy, d + "/sub/decoy");
    EXPECT_EQ(mkfifo((d + "/fifo").c_str(), 0644), 0);
    EXPECT_EQ(mkfifo((d + "/sub/fifo2").c_str(), 0644), 0);
    MakeSocket(d + "/sock");
    test::WriteFile(d + "/" + std::string(NAME_MAX, 'n'), "a name of 255 bytes");
    MakeDeepFile(d);
    test::WriteFile(d + "/locked/inside.txt", "in a folder nobody may read");
    chmod((d + "/locked").c_str(), 0);
    box.WriteArchiveList("zip,rar,");
    return hostile;
}

// Everything outside the Desktop and the offload folder that a pass could
// reach through a link: the decoy tree and the rest of the home folder.
Snapshot Outside(const Sandbox& box, const Hostile& hostile) {
    Snapshot outside;
    for (auto& [path, entry] : Scan(hostile.decoy))
        outside["decoy/" + path] = entry;
    for (auto& [path, entry] : Scan(box.Home()))
        if (path != "Desktop" && path.rfind("Desktop/", 0) != 0)
            outside["home/" + path] = entry;
    return outside;
}

void ExpectSameOutside(const Snapshot& before, const Snapshot& after) {
    EXPECT_EQ(before.size(), after.size()) << "entries appeared or vanished outside the Desktop";
    for (const auto& [path, entry] : before) {
        auto at = after.find(path);
        EXPECT_TRUE(at != after.end() && Untouched(entry, at->second)) << "touched outside: " << Printable(path);
    }
}

void ExpectSpecialFilesStay(const Sandbox& box) {
    const Snapshot desktop = Scan(box.Desktop());
    for (const char* name : {"fifo", "sub/fifo2"}) {
        auto at = desktop.find(name);
        EXPECT_TRUE(at != desktop.end() && at->second.kind == Kind::Fifo) << name << " is gone";
    }
    auto sock = desktop.find("sock");
    EXPECT_TRUE(sock != desktop.end() && sock->second.kind == Kind::Socket) << "sock is gone";
}

class HostileTree : public ::testing::TestWithParam<int> {};

TEST_P(HostileTree, PassKeepsToItsTrees) {
    const int mode = GetParam();
    Sandbox box("/tmp");
    const Hostile hostile = BuildHostileTree(box);
    ASSERT_FALSE(HasFailure());
    box.WriteSettings(mode);
    const Snapshot originals = DataEntries(Scan(box.Desktop()));
    const Snapshot outsideBefore = Outside(box, hostile);
    const std::set<std::string> rootBefore = RootNames();

    PassOutcome outcome;
    {
        Watchdog watchdog(120);
        outcome = RunPass(box);
    }
    Judgement judgement;
    judgement.originals = &originals;
    judgement.mode = mode;
    judgement.mayVanish = [mode](const std::string&) { return mode == 2; };
    std::vector<std::string> problems = JudgePass(box, outcome, judgement);
    EXPECT_TRUE(problems.empty()) << Report(problems) << "log:\n" << outcome.log;
    // The locked folder has lost its write bit too, so once it is empty the
    // removal of empty folders refuses it, as it refuses any write-protected
    // folder without force, and the pass ends with that error. Given back its
    // permissions, a second pass ends normally.
    if (outcome.threw) {
        EXPECT_EQ(outcome.number, EACCES) << outcome.what;
        EXPECT_NE(outcome.what.find("/locked"), std::string::npos) << outcome.what;
        chmod((box.Desktop() + "/locked").c_str(), 0755);
        Watchdog watchdog(120);
        outcome = RunPass(box);
    }
    problems = JudgeFinished(box, outcome, judgement);
    EXPECT_TRUE(problems.empty()) << Report(problems) << "log:\n" << outcome.log;

    ExpectSameOutside(outsideBefore, Outside(box, hostile));
    EXPECT_EQ(rootBefore, RootNames());
    ExpectSpecialFilesStay(box);
    // Links arrive as links with their targets unchanged: "/" and the home
    // folder were not copied into the offload folder.
    if (mode != 2) {
        const Snapshot offload = Scan(box.Offload());
        for (const char* link : {"root", "home", "secret", "sub/decoy", "sub/self", "loopA"}) {
            auto at = offload.find(link);
            EXPECT_TRUE(at != offload.end() && at->second.kind == Kind::Link) << link;
        }
        EXPECT_EQ(offload.count("home/Documents/keep.txt"), 0u);
        EXPECT_EQ(offload.count("sub/decoy/secret.txt"), 0u);
    }
}

// As an unprivileged owner the locked folder cannot be listed: the pass ends
// with that error before it transfers anything, and loses nothing.
TEST_P(HostileTree, UnreadableFolderForAnUnprivilegedOwner) {
    const int mode = GetParam();
    Sandbox box("/tmp");
    const Hostile hostile = BuildHostileTree(box);
    ASSERT_FALSE(HasFailure());
    box.WriteSettings(mode);
    chown(box.Path().c_str(), test::UnprivilegedUid(), test::UnprivilegedGid());
    for (const std::string& top : {box.Home(), box.AppFolder()}) {
        chown(top.c_str(), test::UnprivilegedUid(), test::UnprivilegedGid());
        for (const auto& [path, entry] : Scan(top))
            lchown((top + "/" + path).c_str(), test::UnprivilegedUid(), test::UnprivilegedGid());
    }
    const Snapshot originals = DataEntries(Scan(box.Desktop()));
    const Snapshot outsideBefore = Outside(box, hostile);
    const std::string result = box.Path() + "/outcome";

    int status = test::RunUnprivileged([&] {
        Watchdog watchdog(120);
        PassOutcome outcome = RunPass(box);
        std::ofstream(result) << outcome.threw << " " << outcome.number << " " << outcome.foreign << "\n"
                              << outcome.what << "\n" << outcome.log;
    });
    ASSERT_EQ(status, 0);
    std::ifstream in(result);
    int threw = 0, number = 0, foreign = 0;
    in >> threw >> number >> foreign;
    EXPECT_EQ(foreign, 0);
    // The folder cannot be listed, and the scan comes before any transfer.
    EXPECT_EQ(threw, 1) << test::ReadFile(result);
    EXPECT_EQ(number, EACCES) << test::ReadFile(result);
    EXPECT_TRUE(DataEntries(ScanIfPresent(box.Offload())).empty()) << "transferred before the scan ended";

    const Snapshot desktop = Scan(box.Desktop());
    const Snapshot offload = ScanIfPresent(box.Offload());
    std::vector<std::string> problems = CheckNothingLost(
        {&originals, &desktop, {&offload}, [mode](const std::string&) { return mode == 2; }});
    EXPECT_TRUE(problems.empty()) << Report(problems);
    EXPECT_EQ(desktop.count("locked/inside.txt"), 1u);
    ExpectSameOutside(outsideBefore, Outside(box, hostile));
    ExpectSpecialFilesStay(box);
}

INSTANTIATE_TEST_SUITE_P(Modes, HostileTree, ::testing::Values(0, 1, 2),
                         [](const auto& test) { return "mode" + std::to_string(test.param); });

// A file swapped for something else after the scan collected it, as a user
// (or anything else) may do while the pass yields: what is there now is not
// the file the scan saw, so it is left where it is, as it is, and nothing is
// ever reached through a link to its target.
class Swapper : public cTidyfoldEvents {
public:
    Swapper(std::string path, std::function<void(const std::string&)> swap)
        : path_(std::move(path)), swap_(std::move(swap)) {}
    void ScanningFile(std::string sPath) override {
        if (sPath == path_)
            swap_(sPath);  // collected already: the decision precedes the event
    }
    void MovingFile(std::string) override {}
    void SetFileCount(std::int32_t) override {}
    void CopyProgressRoutine(std::int64_t, std::int64_t) override {}

private:
    std::string path_;
    std::function<void(const std::string&)> swap_;
};

struct SwapCase {
    const char* name;
    int mode;
    char into;  // 'l' a link to a write-protected file outside, 'p' a FIFO
};

class SwappedAfterScan : public ::testing::TestWithParam<SwapCase> {};

TEST_P(SwappedAfterScan, IsLeftWhereItIs) {
    const SwapCase swap = GetParam();
    Sandbox box("/tmp");
    const std::string d = box.Desktop();
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        test::WriteFile(d + "/" + name, std::string("contents of ") + name);
    const std::string secret = box.Path() + "/decoy/secret.txt";
    test::WriteFile(secret, "outside the Desktop");
    chmod(secret.c_str(), 0444);  // a chmod through the link would show
    const std::string moved = box.Path() + "/moved-away.txt";
    box.WriteSettings(swap.mode);
    const Snapshot decoyBefore = Scan(box.Path() + "/decoy");

    Swapper swapper(d + "/two.txt", [&](const std::string& path) {
        ASSERT_EQ(rename(path.c_str(), moved.c_str()), 0);
        if (swap.into == 'l')
            ASSERT_EQ(symlink(secret.c_str(), path.c_str()), 0);
        else
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    });
    cTidyfold engine;
    engine.SetClock([] { return static_cast<std::int64_t>(kFarFuture); });
    engine.Connect(&swapper);
    {
        Watchdog watchdog(60);
        try {
            engine.Clean();
        } catch (const Error& error) {
            ADD_FAILURE() << error.what();
        }
    }

    const Snapshot decoyAfter = Scan(box.Path() + "/decoy");
    ASSERT_EQ(decoyAfter.size(), decoyBefore.size());
    EXPECT_TRUE(Untouched(decoyBefore.at("secret.txt"), decoyAfter.at("secret.txt")))
        << "the link's target was changed";
    EXPECT_EQ(test::ReadFile(moved), "contents of two.txt");
    // The files around it are dealt with as ever.
    if (swap.mode == 2)
        EXPECT_FALSE(test::Exists(d + "/one.txt"));
    else
        EXPECT_EQ(test::ReadFile(box.Offload() + "/one.txt"), "contents of one.txt");
    const Snapshot offload = ScanIfPresent(box.Offload());
    EXPECT_EQ(offload.count("two.txt"), 0u) << engine.Log();
    const Snapshot desktop = Scan(d);
    auto left = desktop.find("two.txt");
    ASSERT_NE(left, desktop.end()) << engine.Log();
    EXPECT_EQ(left->second.kind, swap.into == 'l' ? Kind::Link : Kind::Fifo);
    if (swap.into == 'l') {
        EXPECT_EQ(left->second.target, secret);
    }
}

INSTANTIATE_TEST_SUITE_P(Swaps, SwappedAfterScan,
                         ::testing::Values(SwapCase{"copy_link", 0, 'l'}, SwapCase{"move_link", 1, 'l'},
                                           SwapCase{"delete_link", 2, 'l'}, SwapCase{"copy_fifo", 0, 'p'},
                                           SwapCase{"move_fifo", 1, 'p'}, SwapCase{"delete_fifo", 2, 'p'}),
                         [](const auto& test) { return std::string(test.param.name); });

// A folder of 100,000 entries, on tmpfs so that making it is quick.
class CrowdedFolder : public ::testing::TestWithParam<int> {};

TEST_P(CrowdedFolder, IsWorkedThroughCompletely) {
    const int mode = GetParam();
    Sandbox box(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    const std::string crowd = box.Desktop() + "/crowd";
    test::MakeDirs(crowd);
    constexpr int kEntries = 100000;
    for (int i = 0; i < kEntries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/e%06d", i);
        int fd = open((crowd + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, name, 8), 8);
        close(fd);
    }
    box.WriteSettings(mode);
    const Snapshot originals = DataEntries(Scan(box.Desktop()));
    ASSERT_EQ(originals.size(), std::size_t(kEntries));

    PassOutcome outcome;
    {
        Watchdog watchdog(400);
        outcome = RunPass(box, false);
    }
    Judgement judgement;
    judgement.originals = &originals;
    judgement.mode = mode;
    judgement.mayVanish = [mode](const std::string&) { return mode == 2; };
    std::vector<std::string> problems = JudgeFinished(box, outcome, judgement);
    EXPECT_TRUE(problems.empty()) << Report(problems);
    EXPECT_FALSE(test::Exists(crowd)) << "the emptied folder stays";
}

INSTANTIATE_TEST_SUITE_P(Modes, CrowdedFolder, ::testing::Values(0, 1, 2),
                         [](const auto& test) { return "mode" + std::to_string(test.param); });

}  // namespace
}  // namespace tidyfold::reliability
