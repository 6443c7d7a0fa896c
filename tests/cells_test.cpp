#include <gtest/gtest.h>

#include <cmath>

#include "cells/number_text.h"

using namespace sensor;

TEST(NumberText, GeneralFormatInBothSeparators) {
    struct Case {
        double value;
        bool single;
        const char* dot;
        const char* comma;
    };
    const Case cases[] = {
        {300.0 / 1800 * 0.3048, false, "0.0508", "0,0508"},
        {65535.0 / 1800 * 0.3048, false, "11.09726", "11,09726"},
        {((700.0 - 865) * 5) / -338 + 10, false, "12.4408284023669", "12,4408284023669"},
        {0, false, "0", "0"},
        {0, true, "0", "0"},
        {-0.0, true, "0", "0"},
        {1e7, true, "1E+07", "1E+07"},
        {9999999, true, "9999999", "9999999"},
        {16777216, true, "1.677722E+07", "1,677722E+07"},
        {65535, true, "65535", "65535"},
        {0.0001, true, "0.0001", "0,0001"},
        {0.00001, true, "1E-05", "1E-05"},
        {62.5, false, "62.5", "62,5"},
        {1.0 / 3, true, "0.3333333", "0,3333333"},
        {1.0 / 3, false, "0.333333333333333", "0,333333333333333"},
        {1e100, false, "1E+100", "1E+100"},
    };
    for (const Case& c : cases) {
        const auto text = [&](char sep) {
            return c.single ? single_text(static_cast<float>(c.value), sep) : double_text(c.value, sep);
        };
        EXPECT_EQ(text('.'), c.dot) << c.value;
        EXPECT_EQ(text(','), c.comma) << c.value;
    }
}

TEST(NumberText, ReadsNumbersAndRefusesEverythingElse) {
    struct Case {
        const char* text;
        char sep;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1023", '.', 1023},  {" 150 ", '.', 150}, {"-3", '.', -3},      {"+2.5", '.', 2.5},
        {"0,0508", ',', 0.0508}, {"0.0508", '.', 0.0508}, {"1E+07", '.', 1e7}, {".5", '.', 0.5},
        {"5.", '.', 5},       {"", '.', {}},       {"   ", '.', {}},     {"OK", '.', {}},
        {"ERR", '.', {}},     {"1.5", ',', {}},    {"1,5", '.', {}},    {"12abc", '.', {}},
        {"inf", '.', {}},     {"nan", '.', {}},    {"0x10", '.', {}},   {"1E", '.', {}},
        {"1E+999", '.', {}},  {"--1", '.', {}},    {"1 2", '.', {}},    {"Text1", '.', {}},
    };
    for (const Case& c : cases) {
        const auto got = text_number(c.text, c.sep);
        ASSERT_EQ(got.has_value(), c.value.has_value()) << '"' << c.text << '"';
        if (got) {
            EXPECT_DOUBLE_EQ(*got, *c.value) << c.text;
        }
    }
}

TEST(NumberText, EveryShownNumberReadsBack) {
    // Later steps read earlier steps' cells back, so every text written must parse to its value.
    for (char sep : {'.', ','}) {
        for (double v : {0.0, 0.0508, 11.09726, 12.4408284023669, 1e7, 65535.0, 1e-5, 64.5}) {
            const auto back = text_number(double_text(v, sep), sep);
            ASSERT_TRUE(back.has_value());
            EXPECT_NEAR(*back, v, std::abs(v) * 1e-14);
        }
    }
}
