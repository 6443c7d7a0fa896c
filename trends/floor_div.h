// Division that rounds towards minus infinity: the block or column a time falls in, times before
// zero included.
#pragma once

#include <cstdint>

namespace sensor {

constexpr std::int64_t floor_div(std::int64_t value, std::int64_t step) {
    std::int64_t q = value / step;
    if (value % step != 0 && value < 0) --q;
    return q;
}

}  // namespace sensor
