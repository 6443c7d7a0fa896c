// The simulated board inside the panel's own process: frames from the board model at the line rate,
// paced by a timer, and command messages obeyed as the board obeys them. Needs no serial port and
// no pseudo-terminal, so the demo runs on every platform.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>

#include "io/board_connection.h"
#include "sim/board_model.h"

namespace sensor {

class SimulatedConnection : public BoardConnection {
    Q_OBJECT
public:
    explicit SimulatedConnection(std::uint32_t seed = 1, double bytes_per_second = kLineBytesPerSecond, QObject* parent = nullptr);
    ~SimulatedConnection() override;

    void open() override;
    void close() override;
    bool write_message(const ControlMessage& message) override;
    State state() const override { return state_; }
    QString description() const override { return QStringLiteral("the simulated board"); }

    std::uint64_t frames_sent() const { return frames_sent_; }
    std::uint8_t control_byte() const { return model_.control_byte(); }

private:
    void on_pacer();

    BoardModel model_;
    double bytes_per_second_;
    QTimer pacer_;
    QElapsedTimer clock_;
    std::uint64_t frames_due_so_far_ = 0;
    std::uint64_t frames_sent_ = 0;
    State state_ = State::Closed;
};

}  // namespace sensor
