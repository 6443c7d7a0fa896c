#include <gtest/gtest.h>

#include "eval/csv_recorder.h"
#include "eval/ground_line.h"
#include "eval/ir_distance.h"

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
