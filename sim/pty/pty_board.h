// The simulated board on a pseudo-terminal: streams frames from the board model at the line
// rate (or faster) through the master side and honours the command messages it reads there.
// The panel opens the other side as a real serial device.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

#include "link/frame_receiver.h"

namespace sensor {

struct PtyBoardOptions {
    double bytes_per_second = kLineBytesPerSecond;
    bool flood = false;                // as fast as the pseudo-terminal takes
    std::uint32_t seed = 1;
};

class PtyBoard : public QObject {
    Q_OBJECT
public:
    explicit PtyBoard(PtyBoardOptions options = {}, QObject* parent = nullptr);
    ~PtyBoard() override;

    // Opens the pseudo-terminal in raw mode and starts serving; false with a sentence on failure.
    bool start(QString* error);
    void stop();

    QString device_path() const;  // the side a serial port opens, e.g. /dev/pts/4
    // Makes a symbolic link to the device at path (replacing an old link there).
    bool make_link(const QString& path, QString* error);

    std::uint64_t frames_sent() const;
    std::uint8_t control_byte() const;  // the last command received

signals:
    void command_received(std::uint8_t control_byte);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace sensor
