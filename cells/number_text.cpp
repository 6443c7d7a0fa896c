#include "cells/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace sensor {
namespace {

// std::to_chars ignores the C locale (which Qt sets from the environment), so "." is certain here
// and only then swapped for the caller's separator.
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void assign_integer_text(std::string& cell, std::int64_t value) {
    char buffer[24];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    cell.assign(buffer, ec == std::errc() ? end : buffer);
}

namespace {

template <typename Float>
void assign_general_text(std::string& cell, Float value, int digits, char decimal_separator) {
    if (value == 0) value = 0;  // no "-0"
    // A whole number below 10^digits is written as the general format writes it, digit for digit;
    // times of flight always are, and this skips the slower general conversion.
    const Float limit = digits == 7 ? Float(1e7) : Float(1e15);
    if (value > -limit && value < limit && value == static_cast<Float>(static_cast<std::int64_t>(value))) {
        assign_integer_text(cell, static_cast<std::int64_t>(value));
        return;
    }
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    if (ec != std::errc()) end = std::copy_n("0", 1, buffer);  // cannot happen with 64 characters
    for (char* c = buffer; c != end; ++c) {
        if (*c == 'e') *c = 'E';
        else if (*c == '.') *c = decimal_separator;
    }
    cell.assign(buffer, end);
}

}  // namespace

void assign_single_text(std::string& cell, float value, char decimal_separator) {
    assign_general_text(cell, value, 7, decimal_separator);
}

void assign_double_text(std::string& cell, double value, char decimal_separator) {
    assign_general_text(cell, value, 15, decimal_separator);
}

std::string single_text(float value, char decimal_separator) {
    std::string text;
    assign_single_text(text, value, decimal_separator);
    return text;
}

std::string double_text(double value, char decimal_separator) {
    std::string text;
    assign_double_text(text, value, decimal_separator);
    return text;
}

std::string integer_text(std::int64_t value) {
    std::string text;
    assign_integer_text(text, value);
    return text;
}

std::optional<double> text_number(std::string_view text, char decimal_separator) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);

    // Check the shape first so that from_chars never sees "inf", "nan" or hex.
    // Longer text than any number a cell shows is refused rather than copied.
    if (text.size() > 64) return std::nullopt;
    char plain_buffer[70];
    std::size_t length = 0;
    auto put = [&](char c) { plain_buffer[length++] = c; };
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool digits = false;
    while (i < text.size() && is_digit(text[i])) { put(text[i++]); digits = true; }
    if (i < text.size() && text[i] == decimal_separator) {
        put('.');
        ++i;
        while (i < text.size() && is_digit(text[i])) { put(text[i++]); digits = true; }
    }
    if (!digits) return std::nullopt;
    if (i == text.size() && length <= 15 && std::find(plain_buffer, plain_buffer + length, '.') == plain_buffer + length) {
        // Plain whole numbers (every reading the decoder writes) are exact without from_chars.
        std::int64_t whole = 0;
        for (std::size_t k = 0; k < length; ++k) whole = whole * 10 + (plain_buffer[k] - '0');
        return negative ? -static_cast<double>(whole) : static_cast<double>(whole);
    }
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        put(text[i++]);
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) put(text[i++]);
        bool exponent_digits = false;
        while (i < text.size() && is_digit(text[i])) { put(text[i++]); exponent_digits = true; }
        if (!exponent_digits) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;

    double value = 0;
    auto [end, ec] = std::from_chars(plain_buffer, plain_buffer + length, value);
    if (ec != std::errc() || end != plain_buffer + length || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace sensor
