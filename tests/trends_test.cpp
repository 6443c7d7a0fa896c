// The trend history and its reduction for drawing: ring wrap and capacity, lookups by time, what a
// kept cell goes on showing, and the per-column extremes, marks and line breaks, checked against a
// frame-by-frame reference.
#include <gtest/gtest.h>

#include <random>

#include "trends/column_reduction.h"
#include "trends/history.h"

using namespace sensor;

namespace {

constexpr std::int64_t kMs = 1'000'000;

FrameResult frame_with(double ultrasonic, InfraredDistance infrared, int ground) {
    FrameResult f;
    f.ultrasonic_m = {ultrasonic, ultrasonic + 1, ultrasonic + 2};
    f.infrared_cm = {infrared, infrared, infrared};
    f.ground = {ground, ground + 1};
    f.verdict = {ground > 150 ? Verdict::White : Verdict::Black, Verdict::Kept};
    return f;
}

FrameResult frame_with(double ultrasonic) { return frame_with(ultrasonic, {InfraredMark::Number, 20}, 500); }

InfraredDistance cm(double value) { return {InfraredMark::Number, value}; }
constexpr InfraredDistance kErr{InfraredMark::Err, 0};
constexpr InfraredDistance kOk{InfraredMark::Ok, 0};
constexpr InfraredDistance kKept{InfraredMark::Kept, 0};

// The reduction the block summaries must agree with: every frame read one by one.
FrameSummary summary_frame_by_frame(const History& h, std::uint64_t first, std::uint64_t end) {
    FrameSummary s;
    for (std::uint64_t i = first; i < end; ++i) h.add_to(i, s);  // one at a time, the slow way
    return s;
}

void expect_same(const ChannelSummary& a, const ChannelSummary& b, const std::string& where) {
    EXPECT_EQ(a.values, b.values) << where;
    if (a.values > 0 && b.values > 0) {
        EXPECT_EQ(a.min, b.min) << where;
        EXPECT_EQ(a.max, b.max) << where;
        EXPECT_EQ(a.first, b.first) << where;
        EXPECT_EQ(a.last, b.last) << where;
    }
    EXPECT_EQ(a.err, b.err) << where;
    EXPECT_EQ(a.ok, b.ok) << where;
    EXPECT_EQ(a.none, b.none) << where;
    EXPECT_EQ(a.break_before, b.break_before) << where;
    EXPECT_EQ(a.break_after, b.break_after) << where;
}

}  // namespace

TEST(TrendHistory, RingKeepsTheNewestFramesUpToItsCapacity) {
    struct Case {
        const char* name;
        int added;
        std::size_t size;
        std::uint64_t begin;
    };
    const Case cases[] = {
        {"empty", 0, 0, 0},          {"one", 1, 1, 0},           {"just full", 4, 4, 0},
        {"one over", 5, 4, 1},       {"wrapped twice", 9, 4, 5}, {"a whole lap", 12, 4, 8},
    };
    for (const Case& c : cases) {
        History h(4);
        for (int i = 0; i < c.added; ++i) h.add(100 + i * 10 * kMs, frame_with(i));
        EXPECT_EQ(h.capacity(), 4u) << c.name;
        EXPECT_EQ(h.size(), c.size) << c.name;
        EXPECT_EQ(h.begin_index(), c.begin) << c.name;
        EXPECT_EQ(h.end_index(), static_cast<std::uint64_t>(c.added)) << c.name;
        for (std::uint64_t i = h.begin_index(); i < h.end_index(); ++i) {
            EXPECT_EQ(h.time_at(i), 100 + static_cast<std::int64_t>(i) * 10 * kMs) << c.name << " frame " << i;
            EXPECT_EQ(h.point(i, Channel::Ultrasonic1).value, static_cast<float>(i)) << c.name << " frame " << i;
            EXPECT_EQ(h.point(i, Channel::Ultrasonic3).value, static_cast<float>(i + 2)) << c.name << " frame " << i;
        }
        if (c.added > 0) {
            EXPECT_EQ(h.origin_ns(), 100) << c.name << ": the origin outlives the first frame";
        }
    }
}

TEST(TrendHistory, LookupByTimeOverRepeatsAndAfterWrap) {
    History h(5);
    for (std::int64_t t : {10, 20, 20, 30, 40}) h.add(t, frame_with(1));
    struct Case {
        std::int64_t time;
        std::uint64_t index;
    };
    for (const Case& c : {Case{0, 0}, {10, 0}, {15, 1}, {20, 1}, {21, 3}, {40, 4}, {41, 5}}) {
        EXPECT_EQ(h.index_at_or_after(c.time), c.index) << "time " << c.time;
    }
    h.add(50, frame_with(1));
    h.add(60, frame_with(1));  // 10 and the first 20 are gone
    for (const Case& c : {Case{0, 2}, {20, 2}, {25, 3}, {60, 6}, {61, 7}}) {
        EXPECT_EQ(h.index_at_or_after(c.time), c.index) << "after wrap, time " << c.time;
    }
    EXPECT_EQ(History(3).index_at_or_after(5), 0u);

    // Nearest: the earlier frame on a tie, the oldest or newest held beyond the ends.
    for (const Case& c : {Case{0, 2}, {24, 2}, {25, 2}, {26, 3}, {45, 4}, {46, 5}, {56, 6}, {99, 6}}) {
        EXPECT_EQ(h.nearest_index(c.time), c.index) << "nearest to time " << c.time;
    }
}

TEST(TrendHistory, TimeGoingBackIsTakenAsTheNewest) {
    History h(8);
    h.add(std::chrono::steady_clock::time_point(std::chrono::milliseconds(500)), frame_with(1));
    h.add(300 * kMs, frame_with(2));
    EXPECT_EQ(h.time_at(1), 500 * kMs);
    EXPECT_EQ(h.newest_ns(), 500 * kMs);
}

TEST(TrendHistory, PointsAsTheCellsShowThem) {
    History h(8);
    h.add(1, frame_with(0.5, kKept, 100));  // no distance shown yet
    h.add(2, frame_with(0.5, cm(12.5), 151));
    h.add(3, frame_with(0.5, kKept, 151));  // the cell keeps 12.5
    h.add(4, frame_with(0.5, kErr, 151));
    h.add(5, frame_with(0.5, kKept, 151));  // keeps "ERR"
    h.add(6, frame_with(0.5, kOk, 151));
    struct Case {
        std::uint64_t index;
        PointKind kind;
        float value;
    };
    const Case cases[] = {{0, PointKind::None, 0}, {1, PointKind::Value, 12.5f}, {2, PointKind::Value, 12.5f},
                          {3, PointKind::Err, 0},  {4, PointKind::Err, 0},       {5, PointKind::Ok, 0}};
    for (const Case& c : cases) {
        const TrendPoint p = h.point(c.index, Channel::Infrared2);
        EXPECT_EQ(p.kind, c.kind) << "frame " << c.index;
        if (c.kind == PointKind::Value) {
            EXPECT_EQ(p.value, c.value) << "frame " << c.index;
        }
    }
    EXPECT_EQ(h.point(0, Channel::Ground1).value, 100.0f);
    EXPECT_EQ(h.point(0, Channel::Ground2).value, 101.0f);
    EXPECT_EQ(h.verdict(0, 0), Verdict::Black);
    EXPECT_EQ(h.verdict(1, 0), Verdict::White);
    EXPECT_EQ(h.verdict(1, 1), Verdict::Kept) << "ground 2 never had a verdict";
}

TEST(TrendReduction, BlockSummariesAgreeWithFrameByFrameOverWrapsAndWindows) {
    // A small ring that wraps many times, marks and gaps at random, windows and widths at random:
    // any fault in the block bookkeeping shows as a column that differs from the reference.
    std::mt19937 random(7);
    History h(200);
    std::int64_t t = 0;
    for (int i = 0; i < 1000; ++i) {
        t += (random() % 50 == 0) ? 2000 * kMs : 8 * kMs;
        const unsigned pick = random() % 10;
        const InfraredDistance ir = pick == 0 ? kErr : pick == 1 ? kOk : pick == 2 ? kKept : cm(10 + random() % 50);
        h.add(t, frame_with(static_cast<double>(random() % 1000) / 100, ir, static_cast<int>(random() % 1024)));

        if (i % 37 != 0) continue;
        const std::int64_t begin = h.time_at(h.begin_index()) - static_cast<std::int64_t>(random() % 100) * kMs;
        const std::int64_t end = h.newest_ns() + static_cast<std::int64_t>(random() % 100) * kMs;
        const int width = 1 + static_cast<int>(random() % 60);
        ReducedColumns out;
        reduce_columns(h, begin, end, width, out);
        std::uint64_t first = h.index_at_or_after(begin);
        for (int c = 0; c < width; ++c) {
            const std::uint64_t last = h.index_at_or_after(column_start_ns(out, c + 1));
            const FrameSummary want = summary_frame_by_frame(h, first, last);
            const std::string where = "frame " + std::to_string(i) + " column " + std::to_string(c);
            EXPECT_EQ(out.frames[static_cast<std::size_t>(c)].count, last - first) << where;
            for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
                expect_same(out.channels[ch][static_cast<std::size_t>(c)].summary, want.channels[ch],
                            where + " channel " + std::to_string(ch));
            }
            for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
                EXPECT_EQ(out.verdicts[g][static_cast<std::size_t>(c)].black, want.verdicts[g].black) << where;
                EXPECT_EQ(out.verdicts[g][static_cast<std::size_t>(c)].white, want.verdicts[g].white) << where;
            }
            first = last;
        }
        EXPECT_EQ(first, h.index_at_or_after(end)) << "every frame in the window falls in a column";
    }
}

TEST(TrendReduction, ASingleFrameSpikeSurvivesATenMinuteSpan) {
    History h;
    const std::int64_t period = 8'854'167;  // ns per frame at the line rate
    const std::uint64_t spike = 40'000;
    for (std::uint64_t i = 0; i < History::kDefaultCapacity; ++i) {
        h.add(static_cast<std::int64_t>(i) * period, frame_with(i == spike ? 9.0 : 1.0));
    }
    ReducedColumns out;
    reduce_columns(h, h.newest_ns() + 1 - 600'000 * kMs, h.newest_ns() + 1, 1000, out);
    int spiked = 0;
    for (int c = 0; c < out.width; ++c) {
        const ChannelSummary& s = out.at(Channel::Ultrasonic1, c).summary;
        if (s.values == 0) continue;
        EXPECT_EQ(s.min, 1.0f) << "column " << c;
        if (s.max == 9.0f) ++spiked;
    }
    EXPECT_EQ(spiked, 1);
    const std::array<Channel, 3> ultrasonic{Channel::Ultrasonic1, Channel::Ultrasonic2, Channel::Ultrasonic3};
    const auto range = value_range(out, ultrasonic);
    ASSERT_TRUE(range);
    EXPECT_EQ(range->low, 1.0f);
    EXPECT_EQ(range->high, 11.0f) << "module 3 reads the spike plus 2";
}

TEST(TrendReduction, ColumnsMarksAndLineBreaks) {
    // Ten 10 ms columns; each row lists the infrared cell of frames stamped in the middle of a
    // column (at most one per column here), and which columns' lines join the one before.
    struct Case {
        const char* name;
        std::vector<std::pair<int, InfraredDistance>> frames;  // column, cell
        std::vector<int> joined;
        std::vector<int> err_columns;
        std::vector<int> ok_columns;
    };
    const Case cases[] = {
        {"neighbours join", {{0, cm(20)}, {1, cm(30)}, {2, cm(25)}}, {1, 2}, {}, {}},
        {"across empty columns", {{0, cm(20)}, {4, cm(30)}, {9, cm(25)}}, {4, 9}, {}, {}},
        {"ERR breaks the line", {{0, cm(20)}, {1, kErr}, {2, cm(25)}, {3, cm(25)}}, {3}, {1}, {}},
        {"OK breaks the line", {{0, cm(20)}, {3, kOk}, {6, cm(25)}, {7, cm(25)}}, {7}, {}, {3}},
        {"a kept ERR stays a break", {{0, kErr}, {1, kKept}, {2, cm(25)}}, {}, {0, 1}, {}},
        {"nothing before the first distance", {{0, kKept}, {1, cm(11)}, {2, cm(12)}}, {2}, {}, {}},
        {"empty window", {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        History h(64);
        for (const auto& [column, cell] : c.frames) h.add(column * 10 * kMs + 5 * kMs, frame_with(1, cell, 500));
        ReducedColumns out;
        reduce_columns(h, 0, 100 * kMs, 10, out);
        for (int col = 0; col < 10; ++col) {
            const ChannelColumn& ir = out.at(Channel::Infrared3, col);
            const bool joined = std::find(c.joined.begin(), c.joined.end(), col) != c.joined.end();
            const bool err = std::find(c.err_columns.begin(), c.err_columns.end(), col) != c.err_columns.end();
            const bool ok = std::find(c.ok_columns.begin(), c.ok_columns.end(), col) != c.ok_columns.end();
            EXPECT_EQ(ir.joins_previous, joined) << c.name << ", column " << col;
            EXPECT_EQ(ir.summary.err, err) << c.name << ", column " << col;
            EXPECT_EQ(ir.summary.ok, ok) << c.name << ", column " << col;
        }
    }
}

TEST(TrendReduction, APauseInTheFramesBreaksTheLine) {
    History h(64);
    h.add(0, frame_with(1));
    h.add(kLineBreakGapNs, frame_with(2));          // just within the gap: joined
    h.add(2 * kLineBreakGapNs + 1, frame_with(3));  // one nanosecond too late: broken
    ReducedColumns out;
    reduce_columns(h, 0, 3 * kLineBreakGapNs, 3, out);
    EXPECT_FALSE(out.at(Channel::Ground1, 0).joins_previous);
    EXPECT_TRUE(out.at(Channel::Ground1, 1).joins_previous);
    EXPECT_FALSE(out.at(Channel::Ground1, 2).joins_previous);
}

TEST(TrendReduction, VerdictsAndColumnTimes) {
    History h(64);
    h.add(1 * kMs, frame_with(1, cm(20), 100));  // black
    h.add(2 * kMs, frame_with(1, cm(20), 200));  // white, same column
    h.add(15 * kMs, frame_with(1, cm(20), 300));
    ReducedColumns out;
    reduce_columns(h, 0, 30 * kMs, 3, out);
    EXPECT_TRUE(out.verdicts[0][0].black && out.verdicts[0][0].white);
    EXPECT_TRUE(!out.verdicts[0][1].black && out.verdicts[0][1].white);
    EXPECT_TRUE(!out.verdicts[0][2].black && !out.verdicts[0][2].white) << "an empty column has no verdict";
    EXPECT_EQ(out.frames[0].count, 2u);
    EXPECT_EQ(out.frames[0].first_ns, 1 * kMs);
    EXPECT_EQ(out.frames[0].last_ns, 2 * kMs);
    EXPECT_EQ(out.at(Channel::Ground1, 0).summary.min, 100.0f);
    EXPECT_EQ(out.at(Channel::Ground1, 0).summary.max, 200.0f);

    // Column edges split the window exactly, also where the width does not divide it.
    const std::int64_t hour = 3'600'000 * kMs;
    reduce_columns(h, -hour, hour, 7, out);
    EXPECT_EQ(column_start_ns(out, 0), -hour);
    EXPECT_EQ(column_start_ns(out, 7), hour);
    for (int c = 0; c < 7; ++c) EXPECT_EQ(column_start_ns(out, c), -hour + 2 * hour * c / 7) << c;
}
