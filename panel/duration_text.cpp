#include "panel/duration_text.h"

#include <algorithm>
#include <cstdio>

namespace sensor {

std::string duration_text(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    char text[48];
    if (h > 0 && m > 0) std::snprintf(text, sizeof text, "%lld h %lld min", h, m);
    else if (h > 0) std::snprintf(text, sizeof text, "%lld h", h);
    else if (m > 0 && s > 0) std::snprintf(text, sizeof text, "%lld min %lld s", m, s);
    else if (m > 0) std::snprintf(text, sizeof text, "%lld min", m);
    else std::snprintf(text, sizeof text, "%lld s", s);
    return text;
}

std::string clock_text(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    char text[48];
    if (h > 0) std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
    else std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
    return text;
}

}  // namespace sensor
