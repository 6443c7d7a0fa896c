#include "link/link_policy.h"

#include <utility>

namespace sensor {

std::string join_group_command(const std::string& group) { return "sudo usermod -aG " + group + " $USER"; }

const char* link_state_text(LinkState state) {
    switch (state) {
        case LinkState::Open: return "open";
        case LinkState::Retrying: return "retrying";
        case LinkState::Lost: return "lost";
        case LinkState::Closed: break;
    }
    return "closed";
}

LinkPolicy::LinkPolicy(std::string port, std::int64_t retry_interval_ms)
    : port_(std::move(port)), retry_interval_ms_(retry_interval_ms) {}

LinkPolicy::Step LinkPolicy::enter(LinkState state, std::optional<std::string> sentence) {
    Step step;
    step.state_changed = state != state_;
    state_ = state;
    step.sentence = std::move(sentence);
    return step;
}

LinkPolicy::Step LinkPolicy::open_requested(std::int64_t now_ms) {
    next_retry_ms_ = now_ms;
    return {};
}

LinkPolicy::Step LinkPolicy::opened(std::int64_t) {
    const bool again = ever_open_ && (state_ == LinkState::Lost || state_ == LinkState::Retrying);
    ever_open_ = true;
    last_failure_.clear();
    return enter(LinkState::Open, again ? "Serial port " + port_ + " is open again." : "Serial port " + port_ + " is open.");
}

std::string LinkPolicy::failure_sentence(OpenFailure failure, const std::string& detail) const {
    const std::string head = "Cannot open serial port " + port_ + ": ";
    switch (failure) {
        case OpenFailure::NoSuchDevice:
            return head + "no such device. " +
                   (detail.empty() ? std::string("No serial ports were found; plug in the board or its USB-serial adapter.")
                                   : "Ports on this machine: " + detail + ".");
        case OpenFailure::Busy: return head + "it is busy; another program is using it.";
        case OpenFailure::BusyOrDenied: return head + "it is busy or access was denied; another program may be using it.";
        case OpenFailure::PermissionDenied:
            // Only a group that can be joined is named; root's own devices are not.
            if (detail.empty() || detail == "root") return head + "permission denied.";
            return head + "permission denied. Add your user to the " + detail + " group (" + join_group_command(detail) +
                   ") and log in again.";
        case OpenFailure::NotASerialDevice: return head + "it is not a serial device.";
        case OpenFailure::Other: break;
    }
    return head + (detail.empty() ? std::string("unknown error") : detail) + ".";
}

LinkPolicy::Step LinkPolicy::open_failed(std::int64_t now_ms, OpenFailure failure, const std::string& detail) {
    next_retry_ms_ = now_ms + retry_interval_ms_;
    std::string reason = failure_sentence(failure, detail);
    // Said once per cause: the retry every interval repeats nothing the user has already read.
    std::optional<std::string> sentence;
    if (reason != last_failure_) {
        last_failure_ = reason;
        sentence = reason + " Retrying every " + std::to_string(retry_interval_ms_ / 1000) + " s.";
    }
    // A port that was lost stays "lost" while it is retried; the user already knows it went away.
    return enter(state_ == LinkState::Lost ? LinkState::Lost : LinkState::Retrying, std::move(sentence));
}

LinkPolicy::Step LinkPolicy::read(std::int64_t now_ms, std::size_t bytes) {
    if (bytes == 0 && state_ == LinkState::Open) return lost(now_ms, LossCause::Unplugged);
    return {};
}

LinkPolicy::Step LinkPolicy::lost(std::int64_t now_ms, LossCause cause, const std::string& detail) {
    if (state_ != LinkState::Open) return {};
    next_retry_ms_ = now_ms + retry_interval_ms_;
    last_failure_.clear();
    const std::string why = cause == LossCause::Unplugged ? std::string("the device was unplugged or switched off")
                                                          : "reading failed" + (detail.empty() ? std::string() : " (" + detail + ")");
    return enter(LinkState::Lost, "Lost serial port " + port_ + ": " + why + ". Retrying every " +
                                      std::to_string(retry_interval_ms_ / 1000) + " s; the panel keeps its state.");
}

LinkPolicy::Step LinkPolicy::closed() {
    last_failure_.clear();
    return enter(LinkState::Closed, std::nullopt);
}

void LinkPolicy::switch_port(std::string port) {
    port_ = std::move(port);
    state_ = LinkState::Closed;
    last_failure_.clear();
    ever_open_ = false;
}

bool LinkPolicy::retry_due(std::int64_t now_ms) const {
    return (state_ == LinkState::Retrying || state_ == LinkState::Lost) && now_ms >= next_retry_ms_;
}

}  // namespace sensor
