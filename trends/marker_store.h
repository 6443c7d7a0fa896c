// The markers of a run with their times, for drawing and exporting: a fixed number of them with
// labels of bounded length, in memory allocated once; the oldest give way when it is full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "link/marker.h"

namespace sensor {

struct StoredMarker {
    std::int64_t time_ns = 0;
    std::uint64_t frame = 0;  // Marker::frame: the newest frame when it was set
    std::string_view label;   // valid until the marker gives way
};

class MarkerStore {
public:
    // Far more than an operator sets by hand in eight hours.
    static constexpr std::size_t kDefaultCapacity = 4096;
    // Longer labels are cut at a character boundary.
    static constexpr std::size_t kLabelBytes = 160;

    explicit MarkerStore(std::size_t capacity = kDefaultCapacity);

    // A time earlier than the newest marker's is taken as that, so markers stay in time order.
    void add(std::int64_t time_ns, const Marker& marker);

    // Markers are numbered from 0 for the first ever added; [begin_index, end_index) are held.
    std::uint64_t begin_index() const { return end_ > capacity_ ? end_ - capacity_ : 0; }
    std::uint64_t end_index() const { return end_; }
    StoredMarker at(std::uint64_t index) const;

    // The first held marker stamped at or after time_ns; end_index() when none.
    std::uint64_t index_at_or_after(std::int64_t time_ns) const;

private:
    std::size_t slot(std::uint64_t index) const { return static_cast<std::size_t>(index % capacity_); }

    std::size_t capacity_;
    std::uint64_t end_ = 0;
    std::vector<std::int64_t> times_;
    std::vector<std::uint64_t> frames_;
    std::vector<std::uint8_t> label_sizes_;
    std::vector<char> labels_;
};

// The longest prefix of `text` of at most `bytes` bytes that does not cut a UTF-8 character.
std::string_view utf8_prefix(std::string_view text, std::size_t bytes);

}  // namespace sensor
