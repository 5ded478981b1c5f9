// Removal of empty folders below the Desktop.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Error.h"
#include "tests/engine/EngineFixture.h"

namespace tidyfold::test {
namespace {

TEST_F(EngineTest, empty_chains_go_deepest_first_and_the_start_stays) {
    Dir("one/two/three");
    Dir("x/y");
    Dir("x/z");
    engine_.CleanUpFolders(desktop_);
    EXPECT_TRUE(Snapshot(desktop_).empty());
    EXPECT_TRUE(fs::FolderExists(desktop_));
    engine_.CleanUpFolders(desktop_);  // nothing left to do
    EXPECT_TRUE(fs::FolderExists(desktop_));
}

TEST_F(EngineTest, any_entry_keeps_its_folder) {
    Dir("mixed/empty");
    Put("mixed/file.txt");
    Put("hidden/.dotfile");
    Dir("fifo");
    ASSERT_EQ(mkfifo((desktop_ + "/fifo/pipe").c_str(), 0644), 0);
    Dir("socket");
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = desktop_ + "/socket/s";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    const std::string outside = tmp_ / "outside";
    MakeDirs(outside + "/empty");
    Dir("link");
    ASSERT_EQ(symlink(outside.c_str(), (desktop_ + "/link/to-outside").c_str()), 0);

    engine_.CleanUpFolders(desktop_);
    const auto left = Snapshot(desktop_);
    EXPECT_EQ(left.count("mixed/empty"), 0u);
    for (const char* kept : {"mixed/file.txt", "hidden/.dotfile", "fifo/pipe", "socket/s", "link/to-outside"})
        EXPECT_EQ(left.count(kept), 1u) << kept;
    EXPECT_TRUE(fs::FolderExists(outside + "/empty"));  // never reached through the link
}

TEST_F(EngineTest, read_only_empty_folder_ends_the_removal) {
    Dir("locked");
    chmod((desktop_ + "/locked").c_str(), 0555);
    try {
        engine_.CleanUpFolders(desktop_);
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), EACCES);
    }
    EXPECT_TRUE(fs::FolderExists(desktop_ + "/locked"));
}

TEST_F(EngineTest, folder_the_user_cannot_write_ends_the_removal) {
    // Permissions as an ordinary user sees them: the empty folder sits in a
    // folder that is not the user's.
    Dir("theirs/empty");
    chmod((desktop_ + "/theirs").c_str(), 0755);
    chown(desktop_.c_str(), UnprivilegedUid(), UnprivilegedGid());
    chown(home_.c_str(), UnprivilegedUid(), UnprivilegedGid());
    const int status = RunUnprivileged([&] {
        cTidyfold engine;
        try {
            engine.CleanUpFolders(desktop_);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), EACCES);
        }
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::FolderExists(desktop_ + "/theirs/empty"));
}

TEST_F(EngineTest, missing_start_folder_is_an_error) {
    EXPECT_THROW(engine_.CleanUpFolders(desktop_ + "/missing"), Error);
}

}  // namespace
}  // namespace tidyfold::test
