#include <atomic>
#include <set>
#include <thread>

#include "tests/fs/FsTest.h"

namespace tidyfold::test {
namespace {

using fs::fault::Call;
namespace fault = fs::fault;

using FaultSeam = FsTest;

TEST_F(FaultSeam, counts_every_use_armed_or_not) {
    EXPECT_EQ(fault::Uses(Call::Mkdir), 0);
    fs::CreateFolder(dir / "a");
    EXPECT_EQ(fault::Uses(Call::Mkdir), 1);
    fault::Inject(Call::Mkdir, EIO, 5);
    fs::CreateFolder(dir / "b");
    EXPECT_EQ(fault::Uses(Call::Mkdir), 2);
    fault::Reset();
    EXPECT_EQ(fault::Uses(Call::Mkdir), 0);
}

TEST_F(FaultSeam, fails_exactly_the_nth_use_from_now) {
    fault::Check(Call::Read);  // a use before arming must not shift the count
    fault::Inject(Call::Read, EIO, 3);
    EXPECT_EQ(fault::Check(Call::Read), 0);
    EXPECT_EQ(fault::Check(Call::Read), 0);
    EXPECT_EQ(fault::Check(Call::Read), EIO);
    EXPECT_EQ(fault::Check(Call::Read), 0);
    EXPECT_EQ(fault::Check(Call::Write), 0);
}

TEST_F(FaultSeam, rearming_replaces_and_reset_disarms) {
    fault::Inject(Call::Unlink, EIO, 1);
    fault::Inject(Call::Unlink, EPERM, 2);
    EXPECT_EQ(fault::Check(Call::Unlink), 0);
    EXPECT_EQ(fault::Check(Call::Unlink), EPERM);

    fault::Inject(Call::Unlink, EIO, 1);
    fault::Reset();
    EXPECT_EQ(fault::Check(Call::Unlink), 0);
}

TEST_F(FaultSeam, arms_of_different_calls_are_independent) {
    fault::Inject(Call::Open, EMFILE, 1);
    fault::Inject(Call::Close, EINTR, 2);
    EXPECT_EQ(fault::Check(Call::Close), 0);
    EXPECT_EQ(fault::Check(Call::Open), EMFILE);
    EXPECT_EQ(fault::Check(Call::Close), EINTR);
}

TEST_F(FaultSeam, reaches_the_real_calls_with_their_errno) {
    fault::Inject(Call::Mkdir, EROFS);
    try {
        fs::CreateFolder(dir / "x");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), EROFS);
        EXPECT_EQ(error.Description(), SystemErrorText(EROFS));
        EXPECT_EQ(error.Path(), dir / "x");
    }
    EXPECT_FALSE(Exists(dir / "x"));

    MakeDirs(dir / "y");
    fault::Inject(Call::Lstat, EACCES);
    EXPECT_FALSE(fs::FolderExists(dir / "y"));
    EXPECT_TRUE(fs::FolderExists(dir / "y"));
}

TEST_F(FaultSeam, an_action_runs_once_just_before_the_nth_use_and_reset_drops_it) {
    int runs = 0;
    fault::Check(Call::Mkdir);  // a use before arming must not shift the count
    fault::InjectAction(Call::Mkdir, 2, [&] { ++runs; });
    fault::Check(Call::Mkdir);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(fault::Check(Call::Mkdir), 0);  // the use itself goes on as usual
    EXPECT_EQ(runs, 1);
    fault::Check(Call::Mkdir);
    EXPECT_EQ(runs, 1);
    fault::InjectAction(Call::Open, 1, [&] { ++runs; });
    fault::Reset();
    fault::Check(Call::Open);
    EXPECT_EQ(runs, 1);
}

TEST_F(FaultSeam, one_armed_use_fails_once_across_threads) {
    fault::Inject(Call::Fstat, EIO, 5000);
    std::atomic<int> failures{0};
    auto worker = [&] {
        for (int i = 0; i < 4000; ++i) {
            if (fault::Check(Call::Fstat) != 0)
                ++failures;
        }
    };
    std::thread first(worker), second(worker);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(fault::Uses(Call::Fstat), 8000);
}

TEST_F(FaultSeam, every_call_has_its_own_name) {
    std::set<std::string_view> names;
    for (int i = 0; i < static_cast<int>(Call::Count_); ++i) {
        std::string_view name = fault::Name(static_cast<Call>(i));
        EXPECT_NE(name, "?");
        names.insert(name);
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(Call::Count_));
    EXPECT_EQ(fault::Name(Call::CopyFileRange), "CopyFileRange");
    EXPECT_EQ(fault::Name(Call::Utimens), "Utimens");
}

}  // namespace
}  // namespace tidyfold::test
