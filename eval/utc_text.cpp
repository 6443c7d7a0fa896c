#include "eval/utc_text.h"

#include <chrono>
#include <cstdio>

namespace sensor {

std::string utc_text(std::int64_t utc_ms) {
    using namespace std::chrono;
    const sys_time<milliseconds> t{milliseconds{utc_ms}};
    const sys_days day = floor<days>(t);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{t - day};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long long>(time.hours().count()), static_cast<long long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()), static_cast<long long>(time.subseconds().count()));
    return text;
}

}  // namespace sensor
