#include <gtest/gtest.h>

#include <vector>

#include "panel/line_health.h"
#include "panel/panel_logic.h"

using namespace sensor;

namespace {

struct RecordingSink : CommandSink {
    std::vector<int> bytes;
    bool connected = true;
    bool send(const ControlMessage& m) override {
        if (!connected) return false;
        bytes.push_back(m[0]);
        bytes.push_back(m[1]);
        return true;
    }
};

struct Panel : ::testing::Test {
    RecordingSink sink;
    PanelLogic panel;
    void SetUp() override {
        panel.set_sink(&sink);
        panel.Load();
    }
};

}  // namespace

TEST_F(Panel, StartUpStateSendsNothing) {
    for (const auto& t : panel.cells().Text1) EXPECT_EQ(t, "");
    for (const auto& t : panel.cells().Text2) EXPECT_EQ(t, "ON");
    EXPECT_EQ(panel.cells().Text3, "");
    EXPECT_EQ(panel.cells().Command1, "START");
    EXPECT_EQ(panel.ControlByte(), 19);
    EXPECT_FALSE(panel.Timer1Enabled());
    EXPECT_TRUE(sink.bytes.empty());
}

TEST_F(Panel, GroupsAndTheRefusedLastGroup) {
    EXPECT_EQ(panel.Command4_Click(), CommandOutcome::Sent);
    EXPECT_EQ(panel.Command2_Click(), CommandOutcome::Sent);
    EXPECT_EQ(panel.Command6_Click(), CommandOutcome::Refused);
    EXPECT_EQ(sink.bytes, (std::vector<int>{18, 0, 16, 0}));
    EXPECT_EQ(panel.ControlByte(), 16);
    EXPECT_EQ(panel.cells().Text2[0], "OFF");
    EXPECT_EQ(panel.cells().Text2[1], "OFF");
    EXPECT_EQ(panel.cells().Text2[2], "ON");
    EXPECT_EQ(panel.Command4_Click(), CommandOutcome::Sent);
    EXPECT_EQ(panel.cells().Text2[0], "ON");
}

TEST_F(Panel, StartStopResetAndTheClock) {
    panel.Command1_Click();
    EXPECT_EQ(panel.cells().Command1, "STOP");
    EXPECT_TRUE(panel.Timer1Enabled());
    panel.Timer1_Timer();
    panel.Timer1_Timer();
    panel.Command4_Click();
    panel.Command3_Click();  // Reset during the run
    EXPECT_EQ(panel.cells().Command1, "START");
    EXPECT_EQ(panel.ControlByte(), 19);
    for (const auto& t : panel.cells().Text2) EXPECT_EQ(t, "ON");
    EXPECT_TRUE(panel.Timer1Enabled()) << "a reset leaves the clock counting";
    panel.Timer1_Timer();
    EXPECT_EQ(panel.cells().Text3, "3");
    panel.Command1_Click();
    EXPECT_EQ(sink.bytes, (std::vector<int>{147, 0, 146, 0, 210, 0, 147, 0}));
}

TEST_F(Panel, ClearAndTicks) {
    panel.Command1_Click();
    std::vector<std::string> shown;
    for (int i = 0; i < 3; ++i) {
        panel.Timer1_Timer();
        shown.push_back(panel.cells().Text3);
    }
    panel.Command5_Click();
    shown.push_back(panel.cells().Text3);
    panel.Timer1_Timer();
    shown.push_back(panel.cells().Text3);
    EXPECT_EQ(shown, (std::vector<std::string>{"1", "2", "3", "0", "1"}));
}

TEST_F(Panel, RunClockDoesNotStallLikeASinglePrecisionCount) {
    for (std::int64_t i = 0; i < 16'777'300; ++i) panel.Timer1_Timer();
    EXPECT_EQ(panel.cells().Text3, "16777300");
}

TEST_F(Panel, OptionBoxesToggleAndResetUnticksThem) {
    panel.Check1_Click();
    panel.Check1_Click();
    panel.Check2_Click();
    EXPECT_TRUE(panel.Check2());
    EXPECT_FALSE(panel.Check1());
    panel.Command3_Click();
    EXPECT_FALSE(panel.Check2());
    EXPECT_EQ(sink.bytes, (std::vector<int>{27, 0, 19, 0, 23, 0, 87, 0}));
}

TEST_F(Panel, WhileTheBoardIsAwayThePanelFollowsTheOperatorAndTellsTheBoardLater) {
    EXPECT_FALSE(panel.connection_opened()) << "a first open with nothing missed sends nothing";
    panel.Command1_Click();
    sink.connected = false;
    EXPECT_EQ(panel.Command1_Click(), CommandOutcome::Pending) << "STOP while away";
    EXPECT_EQ(panel.cells().Command1, "START");
    EXPECT_FALSE(panel.Timer1Enabled()) << "the run clock stops although the board did not hear it";
    EXPECT_EQ(panel.Command4_Click(), CommandOutcome::Pending);
    EXPECT_EQ(panel.cells().Text2[0], "OFF");
    EXPECT_EQ(panel.Check1_Click(), CommandOutcome::Pending);
    EXPECT_TRUE(panel.Check1());
    EXPECT_EQ(panel.ControlByte(), 18 | 8);
    EXPECT_EQ(panel.Command2_Click(), CommandOutcome::Pending);
    EXPECT_EQ(panel.Command6_Click(), CommandOutcome::Refused) << "the guard holds while away too";

    sink.bytes.clear();
    sink.connected = true;
    EXPECT_TRUE(panel.connection_opened());
    EXPECT_EQ(sink.bytes, (std::vector<int>{16 | 8, 0})) << "the board gets the panel's byte once";
    EXPECT_FALSE(panel.connection_opened()) << "and only once";

    // A reset while away sets the panel to its start; the return sends 19, not the reset bit.
    sink.connected = false;
    EXPECT_EQ(panel.Command3_Click(), CommandOutcome::Pending);
    EXPECT_EQ(panel.ControlByte(), 19);
    sink.connected = true;
    sink.bytes.clear();
    EXPECT_TRUE(panel.connection_opened());
    EXPECT_EQ(sink.bytes, (std::vector<int>{19, 0}));
}

TEST_F(Panel, ALossOrAnotherPortMeansTheBoardIsToldOnTheNextOpen) {
    panel.Check2_Click();
    sink.bytes.clear();
    panel.connection_lost();
    EXPECT_TRUE(panel.connection_opened());
    EXPECT_EQ(sink.bytes, (std::vector<int>{23, 0}));
    sink.bytes.clear();
    panel.connection_switched();
    EXPECT_TRUE(panel.connection_opened());
    EXPECT_EQ(sink.bytes, (std::vector<int>{23, 0}));
}

TEST(LineHealth, RateFromTheFirstSecondAndAfterARestart) {
    LineHealth h;
    EXPECT_EQ(h.quiet_ms(0), -1);
    h.restart(1000);
    // 113 frames a second, one every 8.85 ms, for half a second.
    for (int i = 1; i <= 56; ++i) h.frame(1000 + i * 1000 / 113, 16);
    EXPECT_NEAR(h.frames_per_second(1500), 113, 3) << "right before a full second has passed";
    for (int i = 57; i <= 113 * 5; ++i) h.frame(1000 + i * 1000 / 113, 16);
    EXPECT_NEAR(h.frames_per_second(6000), 113, 3);
    EXPECT_EQ(h.quiet_ms(6000), 0);
    EXPECT_NEAR(h.frames_per_second(6500), 56, 7) << "half the last second was quiet (to a tenth of a second)";
    EXPECT_EQ(h.frames_per_second(8000), 0);
    EXPECT_EQ(h.quiet_ms(8000), 2000);

    h.restart(9000);  // the board is back after a reconnect
    EXPECT_EQ(h.quiet_ms(9100), 100) << "quiet since the open, not since the last frame before it";
    for (int i = 1; i <= 20; ++i) h.frame(9000 + i * 10, 16);
    EXPECT_NEAR(h.frames_per_second(9200), 100, 1) << "not diluted by the time before the reconnect";
    EXPECT_EQ(h.frames(), 113u * 5 + 20);
}

TEST(LineHealth, ShortAndWrappedFramesAreCounted) {
    LineHealth h;
    h.restart(0);
    for (int bytes : {16, 15, 0, 16, 17, 40, 16}) h.frame(1, bytes);
    EXPECT_EQ(h.frames(), 7u);
    EXPECT_EQ(h.short_frames(), 2u);
    EXPECT_EQ(h.wrapped_frames(), 2u);
}

TEST(LineHealth, StaleAfterTwoQuietSecondsAndOneSilenceHintPerQuietSpell) {
    LineHealth h;
    h.restart(0);
    EXPECT_FALSE(h.stale(5000, false)) << "nothing shown, nothing stale";
    EXPECT_FALSE(h.take_silence_hint(2999));
    EXPECT_TRUE(h.take_silence_hint(3000));
    EXPECT_FALSE(h.take_silence_hint(9000)) << "said once per quiet spell";
    EXPECT_TRUE(h.frame(9100, 16)) << "the first frame takes the hint back";
    EXPECT_FALSE(h.frame(9200, 16));
    EXPECT_FALSE(h.stale(11199, true));
    EXPECT_TRUE(h.stale(11200, true));
    EXPECT_TRUE(h.stale(9300, false)) << "a line that is not open holds no news";
    EXPECT_FALSE(h.take_silence_hint(20000)) << "frames came since the open";
    h.restart(30000);
    EXPECT_TRUE(h.take_silence_hint(33000)) << "a new open, a new quiet spell";
}
