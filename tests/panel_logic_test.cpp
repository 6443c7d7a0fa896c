#include <gtest/gtest.h>

#include <vector>

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

TEST_F(Panel, NothingChangesWhenTheBoardIsNotConnected) {
    panel.Command1_Click();
    sink.connected = false;
    const CellStore before = panel.cells();
    for (auto click : {&PanelLogic::Command1_Click, &PanelLogic::Command2_Click, &PanelLogic::Command3_Click,
                       &PanelLogic::Command4_Click, &PanelLogic::Command6_Click, &PanelLogic::Check1_Click,
                       &PanelLogic::Check2_Click}) {
        EXPECT_EQ((panel.*click)(), CommandOutcome::NotSent);
    }
    EXPECT_EQ(panel.ControlByte(), 147);
    EXPECT_EQ(panel.cells().Command1, before.Command1);
    EXPECT_EQ(panel.cells().Text2, before.Text2);
    EXPECT_TRUE(panel.Timer1Enabled());
    EXPECT_FALSE(panel.Check1());
}
