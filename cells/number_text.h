// Numbers to cell text and back. The decimal separator is passed in, so the window can give its
// locale's while files and the headless decoder keep ".".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sensor {

// General format, at most 7 significant digits: "0.0508", "65535", "1E+07".
std::string single_text(float value, char decimal_separator = '.');
// General format, at most 15 significant digits: "12.4408284023669".
std::string double_text(double value, char decimal_separator = '.');
// The same, written over a cell's text in place, so a frame costs no allocation once the cells
// have grown to their longest text.
void assign_single_text(std::string& cell, float value, char decimal_separator);
void assign_double_text(std::string& cell, double value, char decimal_separator);
void assign_integer_text(std::string& cell, std::int64_t value);

// Plain decimal.
std::string integer_text(std::int64_t value);

// Reads a cell's text as a number: optional blanks, a sign, digits with the given separator, an
// optional exponent. Anything else (empty text, words, a second number) gives no value.
std::optional<double> text_number(std::string_view text, char decimal_separator = '.');

}  // namespace sensor
