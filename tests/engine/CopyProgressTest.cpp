#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "engine/Clock.h"
#include "engine/Yield.h"
#include "engine/cTidyfold.h"
#include "engine/CopyProgress.h"

namespace tidyfold {
namespace {

class ProgressRecorder : public cTidyfoldEvents {
public:
    void MovingFile(std::string) override {}
    void ScanningFile(std::string) override {}
    void SetFileCount(std::int32_t) override {}
    void CopyProgressRoutine(std::int64_t total, std::int64_t transferred) override {
        reports.emplace_back(total, transferred);
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
};

class CopyProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        current.Connect(&currentEvents);
        copying.Connect(&copyingEvents);
        SetYieldHook([this] { ++yields; });
    }
    void TearDown() override {
        RegisterCurrentEngine(nullptr);
        SetYieldHook(nullptr);
    }
    std::int32_t Report(std::int64_t total, std::int64_t transferred, void* lpData) {
        return CopyProgressCallback(total, transferred, 11, 22, 1, 1, 3, 4, lpData);
    }

    cTidyfold current, copying;
    ProgressRecorder currentEvents, copyingEvents;
    int yields = 0;
};

TEST_F(CopyProgressTest, ReportGoesToTheRegisteredEngineNotTheCopyingOne) {
    RegisterCurrentEngine(&current);
    EXPECT_EQ(CurrentEngine(), &current);
    EXPECT_EQ(Report(1000, 250, &copying), PROGRESS_CONTINUE);
    using Reports = std::vector<std::pair<std::int64_t, std::int64_t>>;
    EXPECT_EQ(currentEvents.reports, (Reports{{1000, 250}}));
    EXPECT_TRUE(copyingEvents.reports.empty());
    // One yield here and one inside the engine's progress handler.
    EXPECT_EQ(yields, 2);
}

TEST_F(CopyProgressTest, WithoutARegisteredEngineTheCopyingEngineGetsIt) {
    EXPECT_EQ(Report(5, 5, &copying), PROGRESS_CONTINUE);
    ASSERT_EQ(copyingEvents.reports.size(), 1u);
    EXPECT_EQ(copyingEvents.reports[0], std::make_pair(std::int64_t{5}, std::int64_t{5}));
    EXPECT_EQ(yields, 2);
}

TEST_F(CopyProgressTest, WithNoEngineAtAllItStillYieldsAndContinues) {
    EXPECT_EQ(Report(5, 0, nullptr), PROGRESS_CONTINUE);
    EXPECT_EQ(yields, 1);
}

TEST_F(CopyProgressTest, AHookMayReplaceItselfWhileRunning) {
    int second = 0;
    SetYieldHook([&] { SetYieldHook([&] { ++second; }); });
    Yield();
    Yield();
    EXPECT_EQ(second, 1);
    SetYieldHook(nullptr);
    Yield();  // no hook: nothing happens
    EXPECT_EQ(second, 1);
}

TEST(SystemClock, CountsUtcSecondsSince1970) {
    const auto before = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const std::int64_t now = SystemClock()();
    EXPECT_GE(now, before);
    EXPECT_LE(now, before + 5);
    EXPECT_GT(now, 1700000000);  // a date after 2023: not local ticks or days
}

}  // namespace
}  // namespace tidyfold
