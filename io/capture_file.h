// The recording: every byte received with its arrival time, the commands sent and the markers set,
// in the format a replay and sensor-decode read (docs/recording-format.md). Kept in memory and
// written at least once a second, so a crash loses at most the last second.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <vector>

#include "link/marker.h"
#include "recording/flush_rule.h"

namespace sensor {

class CaptureFile : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kFlushMs = FlushRule::kMaxWaitMs;
    static constexpr qint64 kFlushBytes = FlushRule::kMaxHeldBytes;

    explicit CaptureFile(QObject* parent = nullptr);
    ~CaptureFile() override;  // writes what is still held

    // Creates the file, or empties one that is already there, and its folder when missing; a
    // recording that was on is stopped first. The header names `port` (as the panel names its
    // connection), the line settings, the program's version (the application's when empty) and
    // the start in UTC; times count from here. False with one sentence when it cannot be created.
    bool start(const QString& path, const QString& port = {}, const QString& program_version = {});
    // Writes what is held and closes the file. False when that last write failed; the failure
    // has said so.
    bool stop();

    // Taken only while recording, stamped with the time since the start; a write failure stops
    // the recording and says so once.
    void append(const QByteArray& bytes);             // received from the board
    void append_command(const QByteArray& message);  // sent to the board
    void append_marker(const Marker& marker);

    bool recording() const { return file_.isOpen(); }
    QString path() const { return path_; }
    qint64 size() const { return written_ + static_cast<qint64>(held_.size()); }  // the file's bytes so far
    qint64 written() const { return written_; }                                    // of them, on disk
    // Microseconds since the start: the time the next record gets.
    qint64 elapsed_us() const { return clock_.nsecsElapsed() / 1000; }

signals:
    void message(const QString& sentence);
    void changed();  // started, written, stopped: the status line's size and state
    void stopped();  // by stop() or by a failure

private:
    void bytes_held();
    void wake();
    bool write_held();
    void fail(const QString& reason);

    QString path_;
    QFile file_;
    std::vector<std::uint8_t> held_;
    qint64 written_ = 0;
    FlushRule rule_;
    QElapsedTimer clock_;
    QTimer flush_timer_;
};

}  // namespace sensor
