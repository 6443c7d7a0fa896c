#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <vector>

#include "eval/csv_field.h"
#include "eval/csv_recorder.h"
#include "eval/frame_row.h"
#include "eval/ground_line.h"
#include "eval/ir_distance.h"
#include "eval/timed_log_line.h"
#include "eval/utc_text.h"
#include "panel/panel_logic.h"
#include "tests/support/random_frames.h"

using namespace sensor;

TEST(IrDistance, BreakpointsEndsAndMarks) {
    struct Case {
        double reading;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {1023, "ERR"}, {866, "ERR"}, {865.5, "ERR"}, {865, "10"},  {700, "12.4408284023669"},
        {528, "14.9852071005917"}, {527, "15"}, {380, "20"}, {263, "25"}, {200, "30"},
        {151, "35"},   {112, "40"},  {74, "45"}, {51, "50"}, {41, "55"}, {10, "60"},
        {649, "13.1952662721893"} /* (v - U) * 5 / -span + D, in that order */, {5, "62.5"},   {1, "64.5"},  {0.5, "64.75"}, {0, "OK"}, {-1, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ir_distance_text(c.reading, '.'), c.text) << c.reading;
    EXPECT_EQ(ir_distance_text(700, ','), "12,4408284023669");
}

TEST(IrDistance, ReadsItsCellsAndLeavesTheResultOnBadText) {
    CellStore cells;
    cells.Text1[0] = "700";
    cells.Text1[2] = "not a number";
    cells.Text1[4] = "-5";
    cells.Text1[11] = cells.Text1[12] = cells.Text1[13] = "old";
    evaluate_ir_distances(cells, '.');
    EXPECT_EQ(cells.Text1[11], "12.4408284023669");
    EXPECT_EQ(cells.Text1[12], "old");
    EXPECT_EQ(cells.Text1[13], "old");
}

TEST(GroundLine, ThresholdAndBadText) {
    EXPECT_EQ(ground_verdict(150), "black");
    EXPECT_EQ(ground_verdict(151), "white");
    EXPECT_EQ(ground_verdict(150.5), "white");
    EXPECT_EQ(ground_verdict(0), "black");
    CellStore cells;
    cells.Text1[9] = "151";
    cells.Text1[10] = "";
    cells.Text1[15] = "kept";
    classify_ground_line(cells, '.');
    EXPECT_EQ(cells.Text1[14], "white");
    EXPECT_EQ(cells.Text1[15], "kept");
}

namespace {

CellStore record_cells(const char* m1, const char* m2) {
    CellStore c;
    c.Text1[6] = m1;
    c.Text1[7] = m2;
    c.Text1[8] = "0";
    c.Text1[11] = "12.4408284023669";
    c.Text1[12] = "OK";
    c.Text1[13] = "ERR";
    c.Text1[14] = "black";
    c.Text1[15] = "white";
    return c;
}

}  // namespace

TEST(CsvRecorder, RecordStandsAsTheCellsShowInEitherLocale) {
    EXPECT_EQ(csv_record(record_cells("0.0508", "0.3048"), '.'), "0.0508,0.3048,0,12.4408284023669,OK,ERR,black,white\r\n");
    CellStore comma = record_cells("0,0508", "0,3048");
    comma.Text1[11] = "12,4408284023669";
    EXPECT_EQ(csv_record(comma, ','), "0.0508,0.3048,0,12.4408284023669,OK,ERR,black,white\r\n");
}

TEST(CsvRecorder, CountingRules) {
    CellStore cells = record_cells("1", "2");
    CsvRecorder rec;
    auto frames = [&](int n) {
        std::vector<int> written;
        for (int i = 1; i <= n; ++i)
            if (rec.after_frame(cells, '.')) written.push_back(i);
        return written;
    };

    cells.Command1 = "START";
    EXPECT_TRUE(frames(1000).empty()) << "no line outside a run";

    rec.LogCounter = 0;
    cells.Command1 = "STOP";
    EXPECT_EQ(frames(100), (std::vector<int>{50, 100}));

    // Outside a run the counter cycles 0..100; it is not reset by START or STOP.
    cells.Command1 = "START";
    rec.LogCounter = 0;
    frames(70);
    EXPECT_EQ(rec.LogCounter, 70);
    cells.Command1 = "STOP";
    EXPECT_EQ(frames(1), (std::vector<int>{1})) << "a run that finds the counter past 49 writes at once";
    EXPECT_EQ(frames(50), (std::vector<int>{50}));

    cells.Command1 = "START";
    rec.LogCounter = 0;
    frames(100);
    EXPECT_EQ(rec.LogCounter, 100) << "the counter reaches 100";
    frames(1);
    EXPECT_EQ(rec.LogCounter, 0) << "and wraps only past 100";
    rec.LogCounter = 48;
    cells.Command1 = "STOP";
    EXPECT_EQ(frames(2), (std::vector<int>{2}));
    cells.Command1 = "START";
    frames(30);
    cells.Command1 = "STOP";
    EXPECT_EQ(rec.LogCounter, 30);
    EXPECT_EQ(frames(20), (std::vector<int>{20})) << "the count carries across STOP and START";
}

TEST(FrameRow, IsWhatThePanelShowsForEveryFrameOfANoisyLine) {
    // Whole, short and overlong frames, from start-up: slots left over from earlier frames too.
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        std::vector<std::uint8_t> stream = sensor::testing::noisy_frames(2000, seed);
        const std::vector<std::uint8_t> whole = sensor::testing::random_frames(200, seed);
        stream.insert(stream.end(), whole.begin(), whole.end());
        PanelLogic panel;
        panel.Load();
        std::size_t frames = 0;
        panel.receive(std::span(stream), [&](const FrameResult& frame) {
            ++frames;
            std::string shown;
            for (std::size_t i = 0; i < 16; ++i) shown += (i ? "," : "") + panel.cells().Text1[i];
            ASSERT_EQ(frame_row(frame), shown) << "frame " << frame.index << ", " << frame.data_bytes << " data bytes";
        });
        EXPECT_EQ(frames, 2200u);
    }
    // In a "," locale the cells show "," and the row still "."
    PanelLogic comma(',');
    comma.Load();
    const std::vector<std::uint8_t> one = sensor::testing::random_frames(1, 9);
    comma.receive(std::span(one), {});
    const std::array<std::string, 16> cells = frame_cells(comma.last_frame());
    EXPECT_NE(comma.cells().Text1[6].find(','), std::string::npos);
    std::string with_point = comma.cells().Text1[6];
    std::replace(with_point.begin(), with_point.end(), ',', '.');
    EXPECT_EQ(cells[6], with_point);

    EXPECT_EQ(frame_row_header(),
              "ir1_reading,tof1,ir2_reading,tof2,ir3_reading,tof3,us1_m,us2_m,us3_m,ground1,ground2,ir1_cm,ir2_cm,ir3_cm,"
              "ground1_verdict,ground2_verdict");
}

TEST(UtcText, Iso8601WithMilliseconds) {
    struct Case {
        std::int64_t ms;
        const char* text;
    };
    const Case cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1'796'825'007'412, "2026-12-09T14:03:27.412Z"},
        {951'782'400'000, "2000-02-29T00:00:00.000Z"},
        {4'102'444'799'999, "2099-12-31T23:59:59.999Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
    };
    for (const Case& c : cases) EXPECT_EQ(utc_text(c.ms), c.text) << c.ms;
}

TEST(CsvField, AnOperatorsWordsStayOneField) {
    struct Case {
        const char* text;
        const char* field;
    };
    const Case cases[] = {
        {"Marker 3", "Marker 3"},
        {"", ""},
        {"left, then right", "\"left, then right\""},
        {"a;b", "\"a;b\""},
        {"the \"big\" one", "\"the \"\"big\"\" one\""},
        {"two\nlines", "two lines"},
        {"two\r\nlines\r", "two lines "},
    };
    for (const Case& c : cases) EXPECT_EQ(csv_field(c.text), c.field) << c.text;
    const std::vector<std::string> labels{"Start", "ramp, up"};
    EXPECT_EQ(labels_field(labels), "\"Start;ramp, up\"");
    EXPECT_EQ(labels_field({}), "");
}

TEST(TimedLogLine, TimesInFrontMarkersBehindOneLineEach) {
    const std::string fields = "0.0508,0.3048,0,12.4408284023669,OK,ERR,black,white";
    EXPECT_EQ(timed_log_header(),
              "utc,run_clock,frame,us1_m,us2_m,us3_m,ir1_cm,ir2_cm,ir3_cm,ground1_verdict,ground2_verdict,markers\r\n");
    struct Case {
        const char* name;
        std::int64_t utc_ms;
        const char* run_clock;
        std::uint64_t frame;
        std::vector<std::string> labels;
        std::string line;
    };
    const Case cases[] = {
        {"no marker", 1'796'825'007'412, "12", 650, {}, "2026-12-09T14:03:27.412Z,12,650," + fields + ",\r\n"},
        {"two markers", 1'796'825'009'000, "14", 700, {"Marker 1", "Marker 2"},
         "2026-12-09T14:03:29.000Z,14,700," + fields + ",\"Marker 1;Marker 2\"\r\n"},
        {"a label that would break the line", 1'796'825'009'000, "14", 750, {"a,\"b\"\nc"},
         "2026-12-09T14:03:29.000Z,14,750," + fields + ",\"a,\"\"b\"\" c\"\r\n"},
        {"a run clock in exponent form in a \",\" locale", 0, "1,677722E+07", 1, {},
         "1970-01-01T00:00:00.000Z,1.677722E+07,1," + fields + ",\r\n"},
        {"before the clock ran", 0, "", 50, {}, "1970-01-01T00:00:00.000Z,,50," + fields + ",\r\n"},
    };
    for (const Case& c : cases) {
        const std::string line = timed_log_line(c.utc_ms, c.run_clock, c.frame, fields + "\r\n", c.labels);
        EXPECT_EQ(line, c.line) << c.name;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << c.name;
    }
}
