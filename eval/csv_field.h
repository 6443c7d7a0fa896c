// A free text as one field of a CSV line, so that an operator's words cannot split a line or
// a field: quoted as RFC 4180 does when it holds a separator or a quote, with line breaks turned
// into spaces so that every record stays on one line for line-by-line tools.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace sensor {

// "a,b" -> "\"a,b\"", "say \"hi\"" -> "\"say \"\"hi\"\"\"", "two\nlines" -> "two lines".
// ";" counts as a separator too, since it separates marker labels and some spreadsheets' fields.
std::string csv_field(std::string_view text);

// Marker labels joined by ";" as one field; empty when there are none.
std::string labels_field(std::span<const std::string> labels);

}  // namespace sensor
