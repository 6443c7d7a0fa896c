// Markers in fixed rings: times, frames and labels in slots of kLabelBytes.
#include "trends/marker_store.h"

#include <algorithm>
#include <stdexcept>

namespace sensor {

std::string_view utf8_prefix(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    // Back off continuation bytes (10xxxxxx) to the start of the character they belong to.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

MarkerStore::MarkerStore(std::size_t capacity)
    : capacity_(capacity), times_(capacity), frames_(capacity), label_sizes_(capacity), labels_(capacity * kLabelBytes) {
    if (capacity == 0) throw std::invalid_argument("a marker store needs room for at least one marker");
    static_assert(kLabelBytes <= 255, "label sizes are kept in a byte");
}

void MarkerStore::add(std::int64_t time_ns, const Marker& marker) {
    if (end_ > 0) time_ns = std::max(time_ns, times_[slot(end_ - 1)]);
    const std::size_t s = slot(end_);
    const std::string_view label = utf8_prefix(marker.label, kLabelBytes);
    times_[s] = time_ns;
    frames_[s] = marker.frame;
    label_sizes_[s] = static_cast<std::uint8_t>(label.size());
    std::copy(label.begin(), label.end(), labels_.begin() + static_cast<std::ptrdiff_t>(s * kLabelBytes));
    ++end_;
}

StoredMarker MarkerStore::at(std::uint64_t index) const {
    const std::size_t s = slot(index);
    return {times_[s], frames_[s], std::string_view(labels_.data() + s * kLabelBytes, label_sizes_[s])};
}

std::uint64_t MarkerStore::index_at_or_after(std::int64_t time_ns) const {
    std::uint64_t low = begin_index(), high = end_;
    while (low < high) {
        const std::uint64_t mid = low + (high - low) / 2;
        if (times_[slot(mid)] < time_ns) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

}  // namespace sensor
