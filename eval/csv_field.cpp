#include "eval/csv_field.h"

namespace sensor {

std::string csv_field(std::string_view text) {
    std::string field;
    field.reserve(text.size() + 2);
    bool quote = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            // CR LF is one break, one space.
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            field += ' ';
            continue;
        }
        quote = quote || c == ',' || c == ';' || c == '"';
        if (c == '"') field += '"';
        field += c;
    }
    return quote ? '"' + field + '"' : field;
}

std::string labels_field(std::span<const std::string> labels) {
    std::string joined;
    for (const std::string& label : labels) {
        if (!joined.empty()) joined += ';';
        joined += label;
    }
    return csv_field(joined);
}

}  // namespace sensor
