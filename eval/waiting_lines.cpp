#include "eval/waiting_lines.h"

#include <utility>

namespace sensor {

std::string lines_text(std::uint64_t n) { return n == 1 ? std::string("1 line") : std::to_string(n) + " lines"; }

WaitingLines::WaitingLines(std::string path, std::size_t capacity, std::int64_t retry_interval_ms)
    : path_(std::move(path)), capacity_(capacity), retry_interval_ms_(retry_interval_ms) {}

void WaitingLines::add(std::string line) {
    if (waiting_.size() < capacity_) {
        waiting_.push_back(std::move(line));
        return;
    }
    if (dropped_++ == 0)
        sentences_.push_back("Cannot write " + path_ + ": " + failure_ + "; the most lines kept (" + std::to_string(capacity_) +
                             ") are waiting, so newer lines are dropped and counted.");
}

bool WaitingLines::write_out(std::int64_t now_ms, const Writer& write) {
    bool wrote = false;
    while (!waiting_.empty()) {
        std::string reason = write(waiting_.front());
        if (!reason.empty()) {
            next_retry_ms_ = now_ms + retry_interval_ms_;
            if (reason != failure_) {
                failure_ = std::move(reason);
                // No count here: the status bar keeps the count, and a count in a sentence would
                // soon contradict it.
                sentences_.push_back("Cannot write " + path_ + ": " + failure_ + ". Lines wait and are retried every " +
                                     std::to_string(retry_interval_ms_ / 1000) + " s.");
            }
            return false;
        }
        waiting_.pop_front();
        ++written_;
        wrote = true;
    }
    // Only a line that went in shows the file works again; an empty queue (lines saved elsewhere
    // or discarded) proves nothing.
    if (!failure_.empty() && wrote) {
        failure_.clear();
        sentences_.push_back("Writing " + path_ + " again; every waiting line is written.");
    }
    return true;
}

bool WaitingLines::retry_due(std::int64_t now_ms) const { return !waiting_.empty() && now_ms >= next_retry_ms_; }

std::vector<std::string> WaitingLines::take_sentences() { return std::exchange(sentences_, {}); }

std::string WaitingLines::exit_report() const {
    if (!waiting_.empty()) {
        std::string text = lines_text(waiting_.size()) + (waiting_.size() == 1 ? " was" : " were") +
                           " not written to " + path_ + (failure_.empty() ? "" : " (" + failure_ + ")");
        if (dropped_) text += "; " + std::to_string(dropped_) + " more had been dropped while they waited";
        return text + ".";
    }
    if (dropped_)
        return lines_text(dropped_) + (dropped_ == 1 ? " was" : " were") + " dropped while " + path_ + " could not be written" +
               (set_aside_ ? "." : "; every other line is in the file.");
    return {};
}

std::string WaitingLines::state_text() const {
    std::string text = lines_text(written_) + " written";
    if (!failure_.empty()) text = "cannot write: " + failure_ + "; " + lines_text(waiting_.size()) + " waiting";
    if (dropped_) text += "; " + std::to_string(dropped_) + " dropped";
    return text;
}

void WaitingLines::discard() {
    set_aside_ += waiting_.size();
    waiting_.clear();
}

void WaitingLines::set_path(std::string path) {
    path_ = std::move(path);
    failure_.clear();
    next_retry_ms_ = 0;
}

}  // namespace sensor
