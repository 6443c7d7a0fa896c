#include "io/simulated_connection.h"

#include <algorithm>
#include <cmath>

namespace sensor {
namespace {

constexpr int kPacingMs = 10;
// After a long stall (a suspended laptop) the board does not pour out the frames it missed.
constexpr std::uint64_t kMostFramesPerTick = 64;

}  // namespace

SimulatedConnection::SimulatedConnection(std::uint32_t seed, double bytes_per_second, QObject* parent)
    : BoardConnection(parent), model_(seed), bytes_per_second_(bytes_per_second > 0 ? bytes_per_second : kLineBytesPerSecond) {
    pacer_.setTimerType(Qt::PreciseTimer);
    pacer_.setInterval(kPacingMs);
    connect(&pacer_, &QTimer::timeout, this, &SimulatedConnection::on_pacer);
}

SimulatedConnection::~SimulatedConnection() { pacer_.stop(); }

void SimulatedConnection::open() {
    if (state_ == State::Open) return;
    frames_due_so_far_ = 0;
    clock_.start();
    pacer_.start();
    state_ = State::Open;
    emit state_changed(state_);
    emit message(QStringLiteral("The simulated board is running; its readings are made up."));
}

void SimulatedConnection::close() {
    pacer_.stop();
    if (state_ == State::Closed) return;
    state_ = State::Closed;
    emit state_changed(state_);
}

// A message is the command byte and the zero that ends it, as on the line.
bool SimulatedConnection::write_message(const ControlMessage& m) {
    if (state_ != State::Open) return false;
    if (m[0] != 0) model_.apply_command(m[0]);
    return true;
}

void SimulatedConnection::on_pacer() {
    const double seconds = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    const auto due = static_cast<std::uint64_t>(std::floor(seconds * bytes_per_second_ / kFrameLength));
    const std::uint64_t fresh = std::min(due - std::min(due, frames_due_so_far_), kMostFramesPerTick);
    frames_due_so_far_ = std::max(due, frames_due_so_far_);
    if (fresh == 0) return;
    QByteArray chunk;
    chunk.reserve(static_cast<qsizetype>(fresh * kFrameLength));
    for (std::uint64_t i = 0; i < fresh; ++i) {
        const EncodedFrame frame = encode_frame(model_.next_frame());
        chunk.append(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
    }
    frames_sent_ += fresh;
    emit received(chunk);
}

}  // namespace sensor
