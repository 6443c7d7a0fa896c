#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "panel/display_pace.h"
#include "panel/duration_text.h"
#include "panel/line_health.h"
#include "panel/status_pace.h"
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
    EXPECT_FALSE(h.stale(11199 - 100, true));
    EXPECT_FALSE(h.take_silence_hint(20000 - 100)) << "still the same spell";
    h.restart(30000);
    EXPECT_TRUE(h.take_silence_hint(33000)) << "a new open, a new quiet spell";
    EXPECT_EQ(h.frame(33100, 16), LineNews::None);
    EXPECT_FALSE(h.stale(35099, true));
    EXPECT_TRUE(h.stale(35100, true));
    EXPECT_TRUE(h.stale(33200, false)) << "a line that is not open holds no news";
    EXPECT_FALSE(h.take_silence_hint(40000)) << "frames came since the open";
}

// What the first frames of an open, or the first after the silence hint, tell the user: said
// once, when enough of them came to judge.
TEST(LineHealth, TheFirstFramesAreJudgedWholeOrMalformedOnce) {
    struct Case {
        const char* name;
        bool hinted;
        std::vector<int> data_bytes;  // of each frame, in order
        LineNews news;
        std::size_t at;  // the frame that tells it (1-based); 0 for never
    };
    const std::vector<int> whole(12, 16);
    const std::vector<int> random_bytes{40, 3, 300, 16, 77, 1, 120, 9, 16, 16};
    const std::vector<int> half{16, 5, 16, 17, 16, 5, 16, 17, 16};
    const Case cases[] = {
        {"whole frames, no hint: nothing to say", false, whole, LineNews::None, 0},
        {"whole frames after the hint", true, whole, LineNews::FramesArrive, LineHealth::kJudgedFrames},
        {"random bytes from the start", false, random_bytes, LineNews::FramesMalformed, LineHealth::kJudgedFrames},
        {"random bytes after the hint", true, random_bytes, LineNews::FramesMalformed, LineHealth::kJudgedFrames},
        {"half malformed is not most", true, half, LineNews::FramesArrive, LineHealth::kJudgedFrames},
    };
    for (const Case& c : cases) {
        LineHealth h;
        h.restart(0);
        if (c.hinted) {
            ASSERT_TRUE(h.take_silence_hint(LineHealth::kSilenceHintMs)) << c.name;
        }
        std::size_t told_at = 0;
        LineNews told = LineNews::None;
        for (std::size_t i = 0; i < c.data_bytes.size(); ++i) {
            const LineNews news = h.frame(5000 + static_cast<std::int64_t>(i) * 9, c.data_bytes[i]);
            if (news == LineNews::None) continue;
            EXPECT_EQ(told_at, 0u) << c.name << ": said twice";
            told = news;
            told_at = i + 1;
        }
        EXPECT_EQ(told, c.news) << c.name;
        EXPECT_EQ(told_at, c.at) << c.name;
    }
}

TEST(LineHealth, AnotherConnectionCountsAfresh) {
    LineHealth h;
    h.restart(0);
    for (int bytes : {16, 3, 40}) h.frame(10, bytes);
    h.restart(5000);  // the same port back after a loss: the counts go on
    EXPECT_EQ(h.frames(), 3u);
    h.reset();  // another port, the demo or a replay
    h.restart(6000);
    EXPECT_EQ(h.frames(), 0u);
    EXPECT_EQ(h.short_frames(), 0u);
    EXPECT_EQ(h.wrapped_frames(), 0u);
    EXPECT_EQ(h.quiet_ms(6100), 100);
}

// The display's tick as a table of requests and ticks at fixed times: at once after a quiet
// spell, paced while changes come, one waiting tick for any number of changes.
TEST(DisplayPace, AtOnceAfterAQuietSpellPacedWhileChangesCome) {
    static_assert(DisplayPace::kIntervalMs == 60 && DisplayPace::kSlackMs == 10, "the times below are for these");
    struct Step {
        const char* name;
        bool tick;  // a tick happens at `at`; else a change is requested then
        std::int64_t at;
        std::optional<std::int64_t> wait;  // what a request answers
    };
    const Step steps[] = {
        {"the first change shows at once", false, 1000, 0},
        {"", true, 1000, {}},
        {"a change right after waits for the rest of the interval", false, 1009, 51},
        {"another before the tick joins it", false, 1030, std::nullopt},
        {"", true, 1060, {}},
        {"within the slack of the interval's end: now", false, 1110, 0},
        {"", true, 1110, {}},
        {"just outside the slack: wait", false, 1159, 11},
        {"", true, 1170, {}},
        {"after a quiet spell: at once again", false, 5000, 0},
    };
    DisplayPace pace;
    for (const Step& s : steps) {
        if (s.tick) {
            pace.ticked(s.at);
            EXPECT_FALSE(pace.pending());
            continue;
        }
        EXPECT_EQ(pace.request(s.at), s.wait) << s.name;
        EXPECT_TRUE(pace.pending()) << s.name;
    }
}

TEST(StatusPace, CountsRideOnTicksAtMostTwiceASecond) {
    constexpr std::int64_t tick = DisplayPace::kIntervalMs;
    StatusPace pace;
    EXPECT_TRUE(pace.due_on_tick(0, tick)) << "the first tick brings the first counts";
    EXPECT_EQ(pace.updated(0), StatusPace::kIntervalMs);
    struct Case {
        std::int64_t at;
        bool due;
    };
    // Ticks every 60 ms: due from half a tick before the interval is up, so never a tick late.
    for (const Case c : {Case{60, false}, Case{420, false}, Case{469, false}, Case{470, true}, Case{500, true}})
        EXPECT_EQ(pace.due_on_tick(c.at, tick), c.due) << c.at;
}

TEST(DurationText, SecondsMinutesHours) {
    struct Case {
        std::int64_t seconds;
        const char* duration;
        const char* clock;
    };
    const Case cases[] = {
        {-5, "0 s", "0:00"},          {0, "0 s", "0:00"},          {59, "59 s", "0:59"},
        {60, "1 min", "1:00"},        {125, "2 min 5 s", "2:05"},  {3599, "59 min 59 s", "59:59"},
        {3600, "1 h", "1:00:00"},     {3725, "1 h 2 min", "1:02:05"}, {8 * 3600 + 59, "8 h", "8:00:59"},
        {100 * 3600 + 61, "100 h 1 min", "100:01:01"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(duration_text(c.seconds), c.duration) << c.seconds;
        EXPECT_EQ(clock_text(c.seconds), c.clock) << c.seconds;
    }
}
