// Rows of frames, or of time blocks where the frames are gone, with the markers of each row.
#include "trends/range_export.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <vector>

#include "cells/number_text.h"
#include "eval/csv_field.h"
#include "eval/frame_row.h"
#include "eval/utc_text.h"
#include "trends/floor_div.h"

namespace sensor {

namespace {

constexpr std::size_t kPieceBytes = 1 << 16;

std::int64_t ceil_to_block(std::int64_t t) {
    const std::int64_t b = TimeBlocks::kBlockNs;
    const std::int64_t q = t / b + ((t % b > 0) ? 1 : 0);
    return q * b;
}

class Rows {
public:
    Rows(const History& history, const ExportOptions& options, const std::function<bool(std::string_view)>& write)
        : history_(history), options_(options), write_(write) {
        out_.reserve(kPieceBytes + 4096);
    }

    bool ok() const { return ok_; }

    void text(std::string_view s) {
        out_ += s;
        if (out_.size() >= kPieceBytes) flush();
    }

    bool flush() {
        if (ok_ && !out_.empty()) ok_ = write_(out_);
        out_.clear();
        return ok_;
    }

    void times(std::int64_t time_ns) {
        char buffer[32];
        const double seconds = static_cast<double>(time_ns - history_.origin_ns()) / 1e9;
        std::snprintf(buffer, sizeof buffer, "%.3f", seconds);
        out_ += buffer;
        out_ += ',';
        if (options_.utc_offset_ns) out_ += utc_text(floor_div(time_ns + *options_.utc_offset_ns, 1'000'000));
        out_ += ',';
    }

    // The labels of the markers [from, to), for the row's last column.
    void markers(std::uint64_t from, std::uint64_t to) {
        labels_.clear();
        for (std::uint64_t m = from; m < to; ++m) labels_.emplace_back(history_.markers().at(m).label);
        out_ += labels_field(labels_);
        text("\n");
    }

    void frame(std::uint64_t index, std::uint64_t markers_from, std::uint64_t markers_to) {
        const FrameResult f = history_.frame_at(index);
        options_.texts(f, texts_);
        times(history_.time_at(index));
        out_ += integer_text(static_cast<std::int64_t>(f.index));
        for (const std::string& cell : texts_) {
            out_ += ',';
            out_ += cell;
        }
        out_ += ',';
        markers(markers_from, markers_to);
    }

    void block(std::int64_t number, const TimeBlock& b, std::uint64_t markers_from, std::uint64_t markers_to) {
        times(number * TimeBlocks::kBlockNs);
        // The frame numbers of a block are not kept; its raw readings and times of flight neither.
        out_ += ",,,,,,";
        for (const Channel c : {Channel::Ultrasonic1, Channel::Ultrasonic2, Channel::Ultrasonic3}) cell(b, c);
        cell(b, Channel::Ground1);
        cell(b, Channel::Ground2);
        for (const Channel c : {Channel::Infrared1, Channel::Infrared2, Channel::Infrared3}) cell(b, c);
        for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
            const VerdictSummary v = b.verdict(g);
            out_ += ',';
            out_ += v.black && v.white ? "black white" : v.black ? "black" : v.white ? "white" : "";
        }
        out_ += ',';
        markers(markers_from, markers_to);
    }

private:
    void cell(const TimeBlock& b, Channel c) {
        const ChannelSummary s = b.channel(channel_index(c));
        std::string text;
        if (s.values > 0) {
            text = single_text(s.min);
            if (s.max != s.min) text += ".." + single_text(s.max);
        }
        if (s.err) text += text.empty() ? "ERR" : " ERR";
        if (s.ok) text += text.empty() ? "OK" : " OK";
        out_ += ',';
        out_ += text;
    }

    const History& history_;
    const ExportOptions& options_;
    const std::function<bool(std::string_view)>& write_;
    std::string out_;
    FrameTexts texts_;
    std::vector<std::string> labels_;
    bool ok_ = true;
};

}  // namespace

std::string export_header() { return "t_s,utc,frame," + frame_row_header() + ",marker\n"; }

bool export_range(const History& history, std::int64_t begin_ns, std::int64_t end_ns, const ExportOptions& options,
                  const std::function<bool(std::string_view)>& write) {
    Rows rows(history, options, write);
    const MarkerStore& markers = history.markers();
    std::uint64_t marker = markers.index_at_or_after(begin_ns);
    const std::uint64_t markers_end = markers.index_at_or_after(end_ns);

    // Frames before this time are gone; their blocks stand for them, up to a whole block.
    const std::int64_t frames_from = history.empty() ? end_ns : std::max(begin_ns, ceil_to_block(history.held_from_ns()));
    const bool blocks = history.held_from_ns() > begin_ns && !history.empty();
    if (blocks) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "# Frames before t_s %.3f are no longer held one by one: their rows are 100 ms blocks, each cell "
                      "the lowest and highest value (\"low..high\"); frame numbers, raw readings and times of flight "
                      "are not kept for them.\n",
                      static_cast<double>(std::min(frames_from, end_ns) - history.origin_ns()) / 1e9);
        rows.text(line);
    }
    rows.text(export_header());
    if (blocks) {
        const std::int64_t last = floor_div(std::min(frames_from, end_ns) - 1, TimeBlocks::kBlockNs);
        for (std::int64_t n = floor_div(begin_ns, TimeBlocks::kBlockNs); n <= last && rows.ok(); ++n) {
            const TimeBlock* b = history.time_blocks().block(n);
            if (!b) continue;
            const std::int64_t block_end = (n + 1) * TimeBlocks::kBlockNs;
            const std::uint64_t upto = std::min(markers_end, markers.index_at_or_after(block_end));
            rows.block(n, *b, marker, std::max(marker, upto));
            marker = std::max(marker, upto);
        }
    }
    const std::uint64_t end = history.index_at_or_after(end_ns);
    for (std::uint64_t i = history.index_at_or_after(frames_from); i < end && rows.ok(); ++i) {
        // A marker belongs to the first frame after the one that was newest when it was set.
        const std::uint64_t number = history.frame_at(i).index;
        std::uint64_t upto = marker;
        while (upto < markers_end && markers.at(upto).frame < number) ++upto;
        rows.frame(i, marker, upto);
        marker = upto;
    }
    if (marker < markers_end && rows.ok()) {
        // Markers set after the newest frame in range: a row of their own, at their time.
        rows.times(markers.at(marker).time_ns);
        rows.text(",,,,,,,,,,,,,,,,,");
        rows.markers(marker, markers_end);
    }
    return rows.flush();
}

}  // namespace sensor
