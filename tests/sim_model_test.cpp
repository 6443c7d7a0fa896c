// The simulated board's model alone: one seed one board, command bits, readings that move as a
// board's would. Standard C++ only, so it runs wherever the core is built.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "link/control_byte.h"
#include "sim/board_model.h"

using namespace sensor;

namespace {

bool same(const BoardReadings& a, const BoardReadings& b) {
    return a.infrared == b.infrared && a.time_of_flight == b.time_of_flight && a.ground == b.ground;
}

struct Groups {
    bool infrared, ultrasonic, ground;
};

Groups groups_on(const BoardReadings& r) {
    auto any = [](const auto& values) {
        for (int v : values)
            if (v != 0) return true;
        return false;
    };
    return {any(r.infrared), any(r.time_of_flight), any(r.ground)};
}

}  // namespace

TEST(BoardModel, OneSeedOneBoardAndAResetStartsItAgain) {
    BoardModel a(7), b(7), c(8);
    bool differs = false;
    std::vector<BoardReadings> first;
    for (int i = 0; i < 2000; ++i) {
        const BoardReadings ra = a.next_frame();
        first.push_back(ra);
        EXPECT_TRUE(same(ra, b.next_frame())) << "frame " << i;
        differs = differs || !same(ra, c.next_frame());
    }
    EXPECT_TRUE(differs) << "seeds 7 and 8 gave the same board";

    a.apply_command(0x02);  // infrared and ground off, then reset
    a.apply_command(0x40);
    EXPECT_EQ(a.control_byte(), kControlByteStart);
    EXPECT_EQ(a.model_seconds(), 0.0);
    for (int i = 0; i < 2000; ++i) ASSERT_TRUE(same(a.next_frame(), first[i])) << "frame " << i << " after reset";
}

TEST(BoardModel, CommandBitsSwitchGroups) {
    struct Case {
        const char* name;
        std::uint8_t command;
        Groups expected;
    };
    const Case cases[] = {
        {"all groups", 19, {true, true, true}},
        {"infrared off", 18, {false, true, true}},
        {"ultrasonic off", 17, {true, false, true}},
        {"ground off", 3, {true, true, false}},
        {"only ground", 0x10, {false, false, true}},
        {"measuring and options keep the groups", 0x80 | 0x08 | 0x04 | 19, {true, true, true}},
        {"reset with infrared off turns everything back on", 0x40 | 18, {true, true, true}},
    };
    for (const Case& c : cases) {
        BoardModel model(3);
        model.apply_command(0x01);  // something else first, so reset has something to undo
        model.apply_command(c.command);
        for (int i = 0; i < 500; ++i) {
            const Groups g = groups_on(model.next_frame());
            ASSERT_EQ(g.infrared, c.expected.infrared) << c.name << ", frame " << i;
            ASSERT_EQ(g.ultrasonic, c.expected.ultrasonic) << c.name << ", frame " << i;
            ASSERT_EQ(g.ground, c.expected.ground) << c.name << ", frame " << i;
        }
    }
}

// Over ten minutes of board time: readings stay in their ranges, move smoothly, an obstacle
// nearer reads higher in infrared and shorter in time of flight, and lines pass under both sensors.
TEST(BoardModel, ReadingsArePlausibleOverTime) {
    BoardModel model(11);
    const int frames = static_cast<int>(600 / BoardModel::kFrameSeconds);
    BoardReadings last = model.next_frame();
    std::array<int, 2> line_frames{}, line_starts{};
    int ir_low = 1023, ir_high = 0;
    for (int i = 1; i < frames; ++i) {
        const BoardReadings r = model.next_frame();
        for (int m = 0; m < 3; ++m) {
            const double cm = model.obstacle_cm(m);
            ASSERT_GE(cm, 10.0);
            ASSERT_LE(cm, 60.0);
            ASSERT_GE(r.infrared[m], 30);
            ASSERT_LE(r.infrared[m], 860);
            ASSERT_NEAR(r.infrared[m], infrared_reading_at(cm), 4) << "module " << m << " at " << cm << " cm";
            ASSERT_NEAR(r.time_of_flight[m], cm / 30.48 * 1800, 20) << "module " << m << " at " << cm << " cm";
            // The fastest obstacle moves 0.35 cm a frame (21 units); the echo's noise adds up to 36.
            ASSERT_LT(std::abs(r.time_of_flight[m] - last.time_of_flight[m]), 60) << "a jump at frame " << i;
            ir_low = std::min(ir_low, r.infrared[m]);
            ir_high = std::max(ir_high, r.infrared[m]);
        }
        for (int g = 0; g < 2; ++g) {
            const bool on_line = r.ground[g] <= 120;
            ASSERT_TRUE(on_line ? r.ground[g] >= 50 : (r.ground[g] >= 400 && r.ground[g] <= 900)) << r.ground[g];
            line_frames[g] += on_line;
            line_starts[g] += on_line && last.ground[g] > 120;
        }
        last = r;
    }
    EXPECT_LT(ir_low, 60) << "obstacles never went far";
    EXPECT_GT(ir_high, 600) << "obstacles never came near";
    for (int g = 0; g < 2; ++g) {
        EXPECT_GE(line_starts[g], 40) << "ground sensor " << g + 1;   // a line every 2 to 8 s
        EXPECT_LE(line_starts[g], 300) << "ground sensor " << g + 1;
        EXPECT_LT(line_frames[g], frames / 5) << "ground sensor " << g + 1 << " is on the line too long";
    }
    EXPECT_EQ(line_starts[0], line_starts[1]) << "each line passes under both sensors";
}

TEST(BoardModel, InfraredCurveRisesAsTheObstacleNears) {
    EXPECT_EQ(infrared_reading_at(10), 860);
    EXPECT_EQ(infrared_reading_at(60), 30);
    for (double cm = 10; cm < 60; cm += 0.5) EXPECT_GT(infrared_reading_at(cm), infrared_reading_at(cm + 0.5)) << cm;
    EXPECT_EQ(time_of_flight_at(30.48), 1800);
}
