// The trend history and its reduction for drawing: ring wrap and capacity, lookups by time, what a
// kept cell goes on showing, the per-column extremes, marks and line breaks checked against a
// frame-by-frame reference, eight hours kept in time blocks, the redraw pace, the view's grid, the
// markers and the export of a range.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "panel/panel_logic.h"
#include "tests/support/random_frames.h"
#include "trends/column_reduction.h"
#include "trends/history.h"
#include "trends/line_break.h"
#include "trends/range_export.h"
#include "trends/redraw_gate.h"
#include "trends/view_grid.h"

using namespace sensor;

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kSecond = 1'000 * kMs;
constexpr std::int64_t kLineRateNs = 8'854'167;  // 17 bytes of 10 bits at 19200 baud

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
        if (c.begin > 0) {
            EXPECT_EQ(h.held_from_ns(), 100 + static_cast<std::int64_t>(c.begin - 1) * 10 * kMs + 1)
                << c.name << ": just after the last frame given up";
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

namespace {

// The columns of a view from `from` on, each checked against the frames in it read one by one from
// `reference`, a history that still holds every frame.
void expect_columns_as_frame_by_frame(const ReducedColumns& out, int from, const History& reference, const std::string& where) {
    for (int c = from; c < out.width(); ++c) {
        const std::uint64_t first = reference.index_at_or_after(out.column_start_ns(c));
        const std::uint64_t last = reference.index_at_or_after(out.column_start_ns(c + 1));
        const FrameSummary want = summary_frame_by_frame(reference, first, last);
        const std::string at = where + " column " + std::to_string(c);
        ASSERT_EQ(out.frames(c).count, last - first) << at;
        if (last > first) {
            EXPECT_EQ(out.frames(c).first_ns, reference.time_at(first)) << at;
            EXPECT_EQ(out.frames(c).last_ns, reference.time_at(last - 1)) << at;
        }
        for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
            ChannelSummary got = out.at(static_cast<Channel>(ch), c).summary;
            ChannelSummary frames = want.channels[ch];
            // Time blocks keep whether a quantity had values, not how many.
            got.values = got.values > 0 ? 1 : 0;
            frames.values = frames.values > 0 ? 1 : 0;
            expect_same(got, frames, at + " channel " + std::to_string(ch));
        }
        for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
            EXPECT_EQ(out.verdict(g, c).black, want.verdicts[g].black) << at;
            EXPECT_EQ(out.verdict(g, c).white, want.verdicts[g].white) << at;
        }
    }
}

}  // namespace

TEST(TrendReduction, ColumnsAgreeWithFrameByFrameFromRingsAndTimeBlocksAsTheViewMovesOn) {
    // A small ring that wraps many times beside one that holds every frame; marks and pauses at
    // random. Views of whole time blocks and of odd column widths, each moved on frame by frame
    // and compared with a fresh reduction and with the frames one by one: a fault in the block
    // bookkeeping, in the moving on, or in the columns summed from time blocks once the frames are
    // gone shows as a column that differs.
    struct Case {
        const char* name;
        std::int64_t span_ns;
        int width;
        std::int64_t quantum_ns;
    };
    const Case cases[] = {
        {"odd columns of frames", 3 * kSecond, 37, 1},
        {"whole 100 ms blocks", 60 * kSecond, 30, TimeBlocks::kBlockNs},
        {"whole seconds and more, over all three levels", 600 * kSecond, 20, TimeBlocks::kBlockNs},
    };
    for (const Case& c : cases) {
        std::mt19937 random(7);
        History small(200), all(20'000);
        const ViewGrid grid(c.span_ns, c.width, c.quantum_ns);
        ReducedColumns moving;
        std::int64_t t = 0;
        for (int i = 0; i < 4000; ++i) {
            t += (random() % 80 == 0) ? 1500 * kMs : 3 * kMs + static_cast<std::int64_t>(random() % 20) * kMs;
            const unsigned pick = random() % 10;
            const InfraredDistance ir = pick == 0 ? kErr : pick == 1 ? kOk : pick == 2 ? kKept : cm(10 + random() % 50);
            const FrameResult f = frame_with(static_cast<double>(random() % 1000) / 100, ir, static_cast<int>(random() % 1024));
            small.add(t, f);
            all.add(t, f);

            const std::int64_t end = grid.end_after(small.newest_ns());
            if (i == 0) reduce_columns(small, grid, end, moving);
            else advance_columns(small, end, moving);
            if (i % 97 != 0) continue;
            const std::string where = std::string(c.name) + ", frame " + std::to_string(i);
            ReducedColumns fresh;
            reduce_columns(small, grid, end, fresh);
            // Moved on or reduced afresh, the same columns.
            for (int col = -fresh.lead(); col < fresh.width(); ++col) {
                const std::string at = where + " column " + std::to_string(col);
                ASSERT_EQ(moving.frames(col).count, fresh.frames(col).count) << at;
                EXPECT_EQ(moving.frames(col).first_ns, fresh.frames(col).first_ns) << at;
                EXPECT_EQ(moving.frames(col).last_ns, fresh.frames(col).last_ns) << at;
                for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
                    const auto channel = static_cast<Channel>(ch);
                    expect_same(moving.at(channel, col).summary, fresh.at(channel, col).summary, at);
                    EXPECT_EQ(moving.at(channel, col).joins_previous, fresh.at(channel, col).joins_previous) << at << " channel " << ch;
                }
            }
            // Exact wherever the frames are held, and everywhere for whole blocks.
            int exact_from = -fresh.lead();
            while (c.quantum_ns == 1 && exact_from < fresh.width() && fresh.column_start_ns(exact_from) < small.held_from_ns()) {
                ++exact_from;
            }
            expect_columns_as_frame_by_frame(fresh, exact_from, all, where);
        }
    }
}

TEST(TrendReduction, ASingleFrameSpikeSurvivesEverySpanUpToEightHours) {
    // Eight hours of frames ten a second with one spike; at every span whose view holds the spike,
    // exactly one column shows it, the one its time falls in.
    History h(68'000, TimeBlocks::kDefaultKeptNs);
    const std::int64_t period = 100 * kMs + 7;
    const std::int64_t frames = 8 * 3600 * 10;
    const std::int64_t spike = frames - 2 * 3600 * 10 - 3;
    for (std::int64_t i = 0; i < frames; ++i) h.add(i * period, frame_with(i == spike ? 9.0 : 1.0));
    for (const int span_s : {600, 3600, 8 * 3600}) {
        for (const int width : {1000, 613}) {
            const ViewGrid grid(span_s * kSecond, width, span_s > 600 ? TimeBlocks::kBlockNs : 1);
            const std::int64_t end = grid.end_after(h.newest_ns());
            ReducedColumns out;
            reduce_columns(h, grid, end, out);
            const std::int64_t spike_column = grid.column_of(spike * period, end);
            int spiked = 0;
            for (int c = 0; c < out.width(); ++c) {
                const ChannelSummary& s = out.at(Channel::Ultrasonic1, c).summary;
                if (s.values == 0) continue;
                EXPECT_EQ(s.min, 1.0f) << span_s << " s, column " << c;
                if (s.max == 9.0f) {
                    ++spiked;
                    EXPECT_EQ(c, spike_column) << span_s << " s at " << width << " px";
                }
            }
            EXPECT_EQ(spiked, spike_column >= 0 ? 1 : 0) << span_s << " s at " << width << " px";
            if (span_s == 8 * 3600) {
                EXPECT_EQ(out.first_with_frames(), grid.column_of(0, end)) << "eight hours reach back to the first frame";
            }
        }
    }
}

// Fixed times, not ones derived from the rule's constant: a longer gap in the rule fails a row.
TEST(TrendLineBreak, ALineBreaksWhereNoFrameCameForMoreThanASecond) {
    struct Case {
        const char* name;
        std::int64_t earlier_ns, later_ns;
        bool joins;
    };
    const Case cases[] = {
        {"the line rate", 0, 8'333'333, true},
        {"a second exactly", 5'000'000'000, 6'000'000'000, true},
        {"just over a second", 5'000'000'000, 6'000'000'001, false},
        {"a 1.5 s pause", 2'000'000'000, 3'500'000'000, false},
        {"ten seconds", 0, 10'000'000'000, false},
    };
    for (const Case& c : cases) EXPECT_EQ(line_joins(c.earlier_ns, c.later_ns), c.joins) << c.name;
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
        {"a line from before the view", {{-3, cm(20)}, {2, cm(30)}}, {2}, {}, {}},
        {"empty window", {}, {}, {}, {}},
    };
    const ViewGrid grid(100 * kMs, 10);
    for (const Case& c : cases) {
        History h(64);
        for (const auto& [column, cell] : c.frames) h.add(column * 10 * kMs + 5 * kMs, frame_with(1, cell, 500));
        ReducedColumns out;
        reduce_columns(h, grid, 100 * kMs, out);
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

TEST(TrendReduction, APauseOfMoreThanASecondBreaksTheLine) {
    struct Case {
        const char* name;
        std::int64_t second_frame_ns;
        bool joins;
    };
    const Case cases[] = {
        {"0.1 s apart", 100 * kMs, true},
        {"0.9 s apart", 900 * kMs, true},
        {"exactly 1 s apart", 1000 * kMs, true},
        {"1.1 s apart", 1100 * kMs, false},
        {"5 s apart", 5000 * kMs, false},
    };
    // 100 ms columns, so the two frames always fall in different columns.
    const ViewGrid grid(6 * kSecond, 60);
    for (const Case& c : cases) {
        History h(64);
        h.add(50 * kMs, frame_with(1));
        h.add(50 * kMs + c.second_frame_ns, frame_with(2));
        ReducedColumns out;
        reduce_columns(h, grid, 6 * kSecond, out);
        const int column = static_cast<int>(grid.column_of(50 * kMs + c.second_frame_ns, 6 * kSecond));
        EXPECT_EQ(out.at(Channel::Ground1, column).joins_previous, c.joins) << c.name;
        EXPECT_FALSE(out.at(Channel::Ground1, 0).joins_previous) << c.name << ": the first frame joins nothing";
    }
}

TEST(TrendReduction, VerdictsAndColumnTimes) {
    History h(64);
    h.add(1 * kMs, frame_with(1, cm(20), 100));  // black
    h.add(2 * kMs, frame_with(1, cm(20), 200));  // white, same column
    h.add(15 * kMs, frame_with(1, cm(20), 300));
    ReducedColumns out;
    reduce_columns(h, ViewGrid(30 * kMs, 3), 30 * kMs, out);
    EXPECT_TRUE(out.verdict(0, 0).black && out.verdict(0, 0).white);
    EXPECT_TRUE(!out.verdict(0, 1).black && out.verdict(0, 1).white);
    EXPECT_TRUE(!out.verdict(0, 2).black && !out.verdict(0, 2).white) << "an empty column has no verdict";
    EXPECT_EQ(out.frames(0).count, 2u);
    EXPECT_EQ(out.frames(0).first_ns, 1 * kMs);
    EXPECT_EQ(out.frames(0).last_ns, 2 * kMs);
    EXPECT_EQ(out.at(Channel::Ground1, 0).summary.min, 100.0f);
    EXPECT_EQ(out.at(Channel::Ground1, 0).summary.max, 200.0f);
    EXPECT_EQ(out.first_with_frames(), 0);
}

TEST(TrendReduction, AFrameInTheNewestColumnChangesItOnlyWhenItIsDrawnDifferently) {
    struct Case {
        const char* name;
        FrameResult frame;
        bool changes;
    };
    const Case cases[] = {
        {"the same values", frame_with(1.0, cm(20), 500), false},
        {"a value between the extremes", frame_with(1.5, cm(25), 600), false},
        {"a new highest value", frame_with(2.5, cm(20), 500), true},
        {"a new lowest value", frame_with(0.5, cm(20), 500), true},
        {"a first ERR", frame_with(1.0, kErr, 500), true},
        {"a first other verdict", frame_with(1.0, cm(20), 100), true},
    };
    for (const Case& c : cases) {
        History h(64);
        h.add(1 * kMs, frame_with(1.0, cm(20), 500));
        h.add(2 * kMs, frame_with(2.0, cm(30), 700));
        ReducedColumns out;
        const ViewGrid grid(100 * kMs, 10);
        reduce_columns(h, grid, grid.end_after(h.newest_ns()), out);
        h.add(3 * kMs, c.frame);
        EXPECT_EQ(changes_newest_column(h, out, h.end_index() - 1), c.changes) << c.name;
    }
}

TEST(TrendView, GridOfWholeColumns) {
    struct Case {
        const char* name;
        std::int64_t span_ns;
        int width;
        std::int64_t quantum_ns;
        std::int64_t column_ns;
    };
    const Case cases[] = {
        {"10 s over 1000 px", 10 * kSecond, 1000, 1, 10 * kMs},
        {"10 s over 924 px: rounded up, the whole span in view", 10 * kSecond, 924, 1, 10'822'511},
        {"1 h over 1000 px", 3600 * kSecond, 1000, TimeBlocks::kBlockNs, 3600 * kMs},
        {"1 h over 924 px: whole 100 ms blocks", 3600 * kSecond, 924, TimeBlocks::kBlockNs, 3900 * kMs},
        {"8 h over 1000 px", 8 * 3600 * kSecond, 1000, TimeBlocks::kBlockNs, 28'800 * kMs},
        {"wider than the span has blocks", 10 * kSecond, 1000, TimeBlocks::kBlockNs, 100 * kMs},
    };
    for (const Case& c : cases) EXPECT_EQ(ViewGrid(c.span_ns, c.width, c.quantum_ns).column_ns(), c.column_ns) << c.name;

    // 10 ms columns, 100 of them.
    const ViewGrid grid(kSecond, 100);
    struct EndCase {
        std::int64_t newest_ns;
        std::int64_t end_ns;
    };
    for (const EndCase& c : {EndCase{0, 10 * kMs}, {9 * kMs, 10 * kMs}, {10 * kMs, 20 * kMs}, {-1, 0}, {-10 * kMs, 0}}) {
        EXPECT_EQ(grid.end_after(c.newest_ns), c.end_ns) << "newest " << c.newest_ns;
    }
    struct ColumnCase {
        std::int64_t time_ns;
        std::int64_t column;
    };
    const std::int64_t end = 5 * kSecond;
    for (const ColumnCase& c : {ColumnCase{4 * kSecond, 0}, {4 * kSecond + 9 * kMs, 0}, {4 * kSecond + 10 * kMs, 1},
                                {end - 1, 99}, {end, 100}, {4 * kSecond - 1, -1}}) {
        EXPECT_EQ(grid.column_of(c.time_ns, end), c.column) << "time " << c.time_ns;
    }
    EXPECT_EQ(grid.shift(end, end), 0);
    EXPECT_EQ(grid.shift(end, end + 30 * kMs), 3) << "three new columns";
    EXPECT_EQ(grid.absolute_column(end + 30 * kMs) - grid.absolute_column(end), 3);
}

TEST(TrendRedraws, AtMostThirtyASecondTenMovingOnOnlyWhenShownUnpausedAndChanged) {
    // Times in ms; each step is (time, what happens); `due` is when the redraw is due after it,
    // -1 for none.
    enum What { Change, MoveOn, ChangeNewestColumn, Draw, Hide, Show, Pause, Resume };
    struct Step {
        std::int64_t at_ms;
        What what;
        std::int64_t due_ms;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"the first change is drawn at once", {{100, Change, 100}}},
        {"nothing changed, nothing due", {{100, Change, 100}, {100, Draw, -1}, {500, Draw, -1}}},
        {"34 ms after the last redraw at the soonest", {{0, Change, 0}, {0, Draw, -1}, {10, Change, 34}, {20, Change, 34}}},
        {"a late change is drawn at once", {{0, Change, 0}, {0, Draw, -1}, {200, Change, 200}}},
        {"moving on waits 100 ms", {{0, Change, 0}, {0, Draw, -1}, {10, MoveOn, 100}, {20, MoveOn, 100}, {50, Change, 50}}},
        {"the newest column alone waits a column's time",
         {{0, Change, 0}, {0, Draw, -1}, {10, ChangeNewestColumn, 650}, {300, Change, 300}}},
        {"hidden: nothing drawn, shown again: due", {{0, Hide, -1}, {10, Change, -1}, {20, Show, 10}}},
        {"paused: nothing drawn", {{0, Change, 0}, {0, Draw, -1}, {5, Pause, -1}, {50, Change, -1}, {60, Resume, 50}}},
        {"resumed within the gap waits for it",
         {{0, Change, 0}, {0, Draw, -1}, {5, Pause, -1}, {10, Change, -1}, {20, Resume, 34}}},
    };
    for (const Case& c : cases) {
        RedrawGate gate;
        gate.set_shown(true);
        for (const Step& s : c.steps) {
            const std::int64_t now = s.at_ms * kMs;
            switch (s.what) {
            case Change: gate.changed(now); break;
            case MoveOn: gate.changed(now, RedrawGate::kMoveGapNs); break;
            case ChangeNewestColumn: gate.changed(now, 650 * kMs); break;
            case Draw: gate.drawn(now); break;
            case Hide: gate.set_shown(false); break;
            case Show: gate.set_shown(true); break;
            case Pause: gate.set_paused(true); break;
            case Resume: gate.set_paused(false); break;
            }
            const auto due = gate.due_ns();
            EXPECT_EQ(due ? *due / kMs : -1, s.due_ms) << c.name << ", at " << s.at_ms << " ms";
        }
    }

    // A change every millisecond for a second, drawn whenever due: never more than 30, and no more
    // than 10 of the view moving on.
    for (const auto& [gap, most] : {std::pair{RedrawGate::kMinGapNs, 30}, std::pair{RedrawGate::kMoveGapNs, 10}}) {
        RedrawGate gate;
        gate.set_shown(true);
        int redraws = 0;
        for (std::int64_t ms = 0; ms < 1000; ++ms) {
            gate.changed(ms * kMs, gap);
            if (gate.due_ns() && *gate.due_ns() <= ms * kMs) {
                gate.drawn(ms * kMs);
                ++redraws;
            }
        }
        EXPECT_EQ(redraws, most) << "a change every " << gap / kMs << " ms at the most";
    }
}

TEST(TrendMarkers, KeptInTimeOrderWithBoundedLabels) {
    MarkerStore store(3);
    store.add(50, {1, "first"});
    store.add(40, {2, "earlier time taken as the newest"});
    store.add(90, {3, std::string(200, 'x')});
    // "é" is two bytes: a cut through it backs off to the character's start.
    store.add(100, {4, std::string(MarkerStore::kLabelBytes - 1, 'a') + "\xc3\xa9"});
    EXPECT_EQ(store.begin_index(), 1u) << "the oldest gave way";
    EXPECT_EQ(store.end_index(), 4u);
    EXPECT_EQ(store.at(1).time_ns, 50);
    EXPECT_EQ(store.at(1).frame, 2u);
    EXPECT_EQ(store.at(2).label.size(), MarkerStore::kLabelBytes);
    EXPECT_EQ(store.at(3).label, std::string(MarkerStore::kLabelBytes - 1, 'a'));
    EXPECT_EQ(store.index_at_or_after(0), 1u);
    EXPECT_EQ(store.index_at_or_after(51), 2u);
    EXPECT_EQ(store.index_at_or_after(101), 4u);
}

namespace {

std::string exported(const History& h, std::int64_t begin, std::int64_t end, std::optional<std::int64_t> utc = std::nullopt) {
    std::string out;
    ExportOptions options;
    options.utc_offset_ns = utc;
    EXPECT_TRUE(export_range(h, begin, end, options, [&](std::string_view piece) {
        out += piece;
        return true;
    }));
    return out;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

}  // namespace

TEST(TrendExport, EveryCellRebuiltAsThePanelShowedIt) {
    // Random frames through the panel's own frame path; each frame's sixteen cells as the panel
    // showed them must come back from the history.
    PanelLogic panel;
    panel.Load();
    History h;
    std::vector<std::array<std::string, 16>> shown;
    const auto bytes = sensor::testing::random_frames(2000, 11);
    panel.receive(bytes, [&](const FrameResult& f) {
        h.add(static_cast<std::int64_t>(f.index) * kLineRateNs, f);
        std::array<std::string, 16> cells;
        for (std::size_t i = 0; i < 16; ++i) cells[i] = panel.cells().Text1[i];
        shown.push_back(cells);
    });
    ASSERT_EQ(shown.size(), h.size());
    FrameTexts texts;
    for (std::uint64_t i = 0; i < h.end_index(); ++i) {
        panel_frame_texts(h.frame_at(i), texts);
        for (std::size_t cell = 0; cell < 16; ++cell) {
            ASSERT_EQ(texts[cell], shown[i][cell]) << "frame " << i + 1 << ", Text1(" << cell << ")";
        }
    }
}

TEST(TrendExport, RowsWithTimesFramesCellsAndMarkers) {
    History h;
    FrameResult f;
    f.infrared = {527, 0, 900};
    f.time_of_flight = {1800, 0, 65535};
    f.ground = {150, 151};
    for (std::uint64_t i = 1; i <= 4; ++i) {
        f.index = 100 + i;
        h.add(5 * kSecond + static_cast<std::int64_t>(i) * 250 * kMs, f);
        if (i == 2) {
            h.add_marker(5 * kSecond + 600 * kMs, {102, "gate, \"north\""});
            h.add_marker(5 * kSecond + 610 * kMs, {102, "second"});
        }
    }
    h.add_marker(7 * kSecond, {104, "after the last frame"});
    // 2026-12-09 10:00:00 UTC on the frames' clock at 5 s.
    const std::int64_t utc = 1'796'810'400 * kSecond - 5 * kSecond;
    const auto lines = lines_of(exported(h, 5 * kSecond + 400 * kMs, 8 * kSecond, utc));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0] + "\n", export_header());
    EXPECT_EQ(lines[1], "0.250,2026-12-09T10:00:00.500Z,102,527,1800,0,0,900,65535,0.3048,0,11.09726,150,151,15,OK,ERR,black,white,");
    EXPECT_EQ(lines[2],
              "0.500,2026-12-09T10:00:00.750Z,103,527,1800,0,0,900,65535,0.3048,0,11.09726,150,151,15,OK,ERR,black,white,"
              "\"gate, \"\"north\"\";second\"");
    EXPECT_EQ(lines[3].substr(0, 6), "0.750,");
    EXPECT_EQ(lines[4], "1.750,2026-12-09T10:00:02.000Z,,,,,,,,,,,,,,,,,,after the last frame") << "a marker after the newest frame";
    EXPECT_EQ(lines_of(exported(h, 0, 8 * kSecond))[1].substr(0, 7), "0.000,,") << "no utc when the clock is unknown";
}

TEST(TrendExport, FramesNoLongerHeldAreBlocksSaidInTheHeader) {
    History h(10);
    FrameResult f;
    for (int i = 0; i < 30; ++i) {
        f.index = static_cast<std::uint64_t>(i + 1);
        f.ultrasonic_m = {i % 2 == 0 ? 1.5 : 2.5, 1, 1};
        f.infrared_cm = {InfraredDistance{InfraredMark::Number, 20}, {InfraredMark::Err, 0}, {InfraredMark::Ok, 0}};
        f.ground = {100 + i, 200};
        f.verdict = {Verdict::Black, Verdict::White};
        h.add(i * 50 * kMs, f);  // two frames a block; the last ten are held
    }
    const auto lines = lines_of(exported(h, 0, 2 * kSecond));
    ASSERT_EQ(lines.size(), 2u + 10u + 10u);
    EXPECT_EQ(lines[0].substr(0, 44), "# Frames before t_s 1.000 are no longer held");
    EXPECT_EQ(lines[1] + "\n", export_header());
    EXPECT_EQ(lines[2], "0.000,,,,,,,,,1.5..2.5,1,1,100..101,200,20,ERR,OK,black,white,") << "the first block's extremes";
    EXPECT_EQ(lines[12].substr(0, 9), "1.000,,21") << "then the frames held, one by one";

    int writes = 0;
    EXPECT_FALSE(export_range(h, 0, 2 * kSecond, {}, [&](std::string_view) { return ++writes < 1; }))
        << "a failed write stops the export";
    EXPECT_EQ(writes, 1);
}
