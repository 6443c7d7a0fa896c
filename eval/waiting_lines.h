// The log's lines that the file did not take yet: kept in order up to a cap, written out ahead of
// any new line, retried every interval, counted when dropped past the cap, and each cause said
// once. The file writer does only the writing and asks this what to do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sensor {

std::string lines_text(std::uint64_t n);  // "1 line", "2 lines"

class WaitingLines {
public:
    static constexpr std::size_t kCapacity = 100'000;

    // Writes one whole line; returns "" once it is in the file, otherwise why it is not.
    using Writer = std::function<std::string(const std::string& line)>;

    // Times are milliseconds of a monotonic clock, given by the caller.
    explicit WaitingLines(std::string path, std::size_t capacity = kCapacity, std::int64_t retry_interval_ms = 2000);

    // A new line goes behind the waiting ones; past the cap it is counted as dropped.
    void add(std::string line);
    // Writes what waits, in order, until the writer refuses one. True when nothing waits.
    bool write_out(std::int64_t now_ms, const Writer& write);
    // True while lines wait and the retry interval has passed since the last refusal.
    bool retry_due(std::int64_t now_ms) const;
    std::int64_t next_retry_ms() const { return next_retry_ms_; }

    // Sentences for the user since the last call: a new cause, dropping begun, writing again.
    std::vector<std::string> take_sentences();

    // What is left at exit, in one sentence; empty when every line reached the file.
    std::string exit_report() const;
    // "5 lines written", "cannot write: no space left on device; 12 lines waiting; 3 dropped".
    std::string state_text() const;

    // The waiting lines themselves, oldest first, to save them elsewhere; and forgetting them.
    const std::deque<std::string>& lines() const { return waiting_; }
    void discard();
    // Points at another file: the next write goes there, and its causes are new.
    void set_path(std::string path);

    const std::string& path() const { return path_; }
    const std::string& failure() const { return failure_; }
    std::size_t waiting() const { return waiting_.size(); }
    std::uint64_t written() const { return written_; }
    std::uint64_t dropped() const { return dropped_; }

private:
    std::string path_;
    std::size_t capacity_;
    std::int64_t retry_interval_ms_;
    std::int64_t next_retry_ms_ = 0;
    std::deque<std::string> waiting_;
    std::uint64_t written_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t set_aside_ = 0;  // waiting lines saved elsewhere or discarded, so not in the file
    std::string failure_;  // the current cause, empty while writing works
    std::vector<std::string> sentences_;
};

}  // namespace sensor
