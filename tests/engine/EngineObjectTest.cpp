// The engine object itself: its starting state, the log and the events.

#include <gtest/gtest.h>

#include "engine/Yield.h"
#include "base/Error.h"
#include "engine/CopyProgress.h"
#include "tests/engine/EngineFixture.h"

namespace tidyfold::test {
namespace {

TEST(EngineObject, new_engine_starts_empty_with_an_unloaded_options_object) {
    cTidyfold engine;
    EXPECT_EQ(engine.Cancel(), kFalse);
    EXPECT_EQ(engine.fErrorsThrown(), kFalse);
    EXPECT_EQ(engine.Log(), "");
    EXPECT_EQ(engine.TimeLimit(), 0.0f);
    EXPECT_EQ(engine.TrashDirectory(), "");
    EXPECT_TRUE(engine.colFiles().empty());
    EXPECT_EQ(engine.FailedTransfers(), 0);
    ASSERT_NE(engine.Options(), nullptr);
    EXPECT_EQ(engine.Options()->OffloadPath(), "");
    EXPECT_EQ(engine.Options()->TimeLimit(), 0.0f);
    EXPECT_EQ(engine.Options()->DelNullFiles(), 0);
    EXPECT_EQ(engine.CleanCompressed(12345), 0);
}

TEST_F(EngineTest, mode0_success_log_is_exactly_one_line_and_sets_the_error_flag) {
    const std::string path = Put("report.txt");
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(engine_.Log(), "File copy of " + path + " succeeded." + Offloaded("report.txt") + "\r\n");
    EXPECT_EQ(engine_.fErrorsThrown(), kTrue);
    EXPECT_EQ(engine_.FailedTransfers(), 0);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(ReadFile(offload_ + "/report.txt"), "data");
}

TEST_F(EngineTest, log_lines_follow_each_other_in_the_order_written) {
    // Two collected files; the second vanishes before its turn.
    const std::string first = Put("a/first.txt");
    const std::string second = Put("b/second.txt");
    Settings(1);
    events_.onMoving = [&](const std::string& path) {
        if (events_.moving.size() == 1)
            RemoveTree(path == first ? second : first);
    };
    engine_.Log("earlier\r\n");
    ASSERT_EQ(engine_.Clean(), 2);
    const bool firstMoved = events_.moving[0] == first;
    const std::string gone = firstMoved ? second : first;
    const std::string moved = firstMoved ? "a/first.txt" : "b/second.txt";
    EXPECT_EQ(engine_.Log(), "earlier\r\nMove of " + events_.moving[0] + " succeeded." + Offloaded(moved) +
                                 "\r\nMove of " + gone + " FAILED.\r\nIt is no longer where the scan found it.\r\n");
    EXPECT_EQ(engine_.FailedTransfers(), 1);
}

TEST_F(EngineTest, events_carry_paths_and_the_count_in_order) {
    const std::string top = Put("top.txt");
    const std::string young = PutYoung("young.txt");
    const std::string deep = Put("a/b/deep.txt");
    Settings(1);
    ASSERT_EQ(engine_.Clean(), 2);
    EXPECT_EQ(events_.scanning.size(), 3u);
    EXPECT_EQ(events_.scanning.back(), deep);  // top-level files first
    EXPECT_EQ(events_.counts, std::vector<std::int32_t>{2});
    EXPECT_EQ(events_.moving, (std::vector<std::string>{top, deep}));
    EXPECT_TRUE(Exists(young));
}

TEST_F(EngineTest, a_handler_changing_its_argument_does_not_reach_the_engine) {
    class Scribbler : public Recorder {
    public:
        void MovingFile(std::string sPath) override {
            sPath = "/elsewhere";
            Recorder::MovingFile(sPath);
        }
    } scribbler;
    engine_.Connect(&scribbler);
    const std::string path = Put("x.txt");
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(ReadFile(offload_ + "/x.txt"), "data");
    EXPECT_EQ(engine_.Log(), "File copy of " + path + " succeeded." + Offloaded("x.txt") + "\r\n");
}

TEST_F(EngineTest, a_pass_without_listener_runs_the_same) {
    engine_.Connect(nullptr);
    Put("a/x.txt", std::string(100000, 'x'));
    ASSERT_EQ(engine_.Clean(), 1);
    EXPECT_EQ(ReadFile(offload_ + "/a/x.txt").size(), 100000u);
    EXPECT_TRUE(events_.scanning.empty());
}

TEST_F(EngineTest, copy_progress_reaches_the_event_with_two_yields_per_report) {
    std::vector<std::string> order;
    class Sequencer : public Recorder {
    public:
        explicit Sequencer(std::vector<std::string>& o) : order_(o) {}
        void CopyProgressRoutine(std::int64_t total, std::int64_t done) override {
            order_.push_back("event");
            Recorder::CopyProgressRoutine(total, done);
        }
        std::vector<std::string>& order_;
    } sequencer(order);
    engine_.Connect(&sequencer);
    SetYieldHook([&] { order.push_back("yield"); });
    const std::string big(3u << 20, 'b');
    Put("big.bin", big);
    ASSERT_EQ(engine_.Clean(), 1);

    ASSERT_FALSE(sequencer.progress.empty());
    EXPECT_EQ(sequencer.progress.front(), std::make_pair(std::int64_t{3 << 20}, std::int64_t{0}));
    EXPECT_EQ(sequencer.progress.back(), std::make_pair(std::int64_t{3 << 20}, std::int64_t{3 << 20}));
    // One yield for the examination, one as the file's turn comes, then
    // yield, event, yield per report.
    std::vector<std::string> expected{"yield", "yield"};
    for (std::size_t i = 0; i < sequencer.progress.size(); ++i)
        expected.insert(expected.end(), {"yield", "event", "yield"});
    EXPECT_EQ(order, expected);
}

TEST(EngineObject, progress_report_goes_to_the_registered_engine) {
    cTidyfold copying;
    cTidyfold current;
    Recorder copyingEvents;
    Recorder currentEvents;
    copying.Connect(&copyingEvents);
    current.Connect(&currentEvents);
    CopyProgressCallback(10, 5, 0, 0, 0, 0, 0, 0, &copying);
    RegisterCurrentEngine(&current);
    CopyProgressCallback(0, 0, 0, 0, 0, 0, 0, 0, &copying);
    RegisterCurrentEngine(nullptr);
    EXPECT_EQ(copyingEvents.progress, (std::vector<std::pair<std::int64_t, std::int64_t>>{{10, 5}}));
    EXPECT_EQ(currentEvents.progress, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 0}}));
}

}  // namespace
}  // namespace tidyfold::test
