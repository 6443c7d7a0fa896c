// What the serial link does on each event of its port: open, retry every interval, lost and
// reopened, and which sentence the user reads, once per cause. The adapter does the I/O and asks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sensor {

enum class LinkState : std::uint8_t { Closed, Open, Retrying, Lost };

const char* link_state_text(LinkState state);  // "closed", "open", "retrying", "lost"

// The one command that puts the user in a device's group: "sudo usermod -aG dialout $USER".
std::string join_group_command(const std::string& group);

// Why an open failed, as the adapter found out. BusyOrDenied: the system gives one answer for a
// port another program holds and one this user may not open (Windows).
enum class OpenFailure : std::uint8_t { NoSuchDevice, Busy, BusyOrDenied, PermissionDenied, NotASerialDevice, Other };

// Why an open port went away.
enum class LossCause : std::uint8_t { Unplugged, ReadError };

class LinkPolicy {
public:
    // Times are milliseconds of a monotonic clock, given by the caller with every event.
    explicit LinkPolicy(std::string port, std::int64_t retry_interval_ms = 2000);

    struct Step {
        bool state_changed = false;
        std::optional<std::string> sentence;  // to tell the user, when there is something new
    };

    Step open_requested(std::int64_t now_ms);
    Step opened(std::int64_t now_ms);
    // detail: for NoSuchDevice the ports present ("" when none), for PermissionDenied the
    // device's group ("" when unknown), for Other the system's reason.
    Step open_failed(std::int64_t now_ms, OpenFailure failure, const std::string& detail = {});
    // A readable port gave bytes. Zero bytes from a readable port means the far end hung up.
    Step read(std::int64_t now_ms, std::size_t bytes);
    Step lost(std::int64_t now_ms, LossCause cause, const std::string& detail = {});
    Step closed();
    // The user chose another port: the next open is a first open of that port.
    void switch_port(std::string port);

    // True while the port is to be opened again and its interval has passed.
    bool retry_due(std::int64_t now_ms) const;
    std::int64_t next_retry_ms() const { return next_retry_ms_; }
    std::int64_t retry_interval_ms() const { return retry_interval_ms_; }

    LinkState state() const { return state_; }
    const std::string& port() const { return port_; }
    // The sentence for an open failure, without the retry note.
    std::string failure_sentence(OpenFailure failure, const std::string& detail) const;

private:
    Step enter(LinkState state, std::optional<std::string> sentence);

    std::string port_;
    std::int64_t retry_interval_ms_;
    std::int64_t next_retry_ms_ = 0;
    LinkState state_ = LinkState::Closed;
    std::string last_failure_;  // said already; the same cause is not said again
    bool ever_open_ = false;
};

}  // namespace sensor
