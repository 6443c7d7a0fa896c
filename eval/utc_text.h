// A moment in UTC as ISO 8601 with milliseconds, "2026-12-09T14:03:27.412Z": what the log's and the
// decoder's time columns show, the same in every locale and time zone.
#pragma once

#include <cstdint>
#include <string>

namespace sensor {

// utc_ms: milliseconds since 1970-01-01T00:00:00Z.
std::string utc_text(std::int64_t utc_ms);

}  // namespace sensor
