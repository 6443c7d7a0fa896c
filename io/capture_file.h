// The raw recording: every byte received, in arrival order, in the format a replay and
// sensor-decode read. Kept in memory and written at least once a second, so a crash loses at most
// the last second.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

namespace sensor {

class CaptureFile : public QObject {
    Q_OBJECT
public:
    static constexpr int kFlushMs = 1000;
    // A burst (a replay at full speed) goes out before the second is up, so memory stays small.
    static constexpr qint64 kFlushBytes = 64 * 1024;

    explicit CaptureFile(QObject* parent = nullptr);
    ~CaptureFile() override;  // writes what is still held

    // Creates the file, or empties one that is already there, and its folder when missing; a
    // recording that was on is stopped first. False with one sentence when it cannot be created.
    bool start(const QString& path);
    // Writes what is held and closes the file. False when that last write failed; the failure
    // has said so.
    bool stop();

    // Taken only while recording; a write failure stops the recording and says so once.
    void append(const QByteArray& bytes);

    bool recording() const { return file_.isOpen(); }
    QString path() const { return path_; }
    qint64 size() const { return written_ + static_cast<qint64>(held_.size()); }  // bytes recorded so far
    qint64 written() const { return written_; }                                    // of them, on disk

signals:
    void message(const QString& sentence);
    void changed();  // started, written, stopped: the status line's size and state
    void stopped();  // by stop() or by a failure

private:
    bool write_held();
    void fail(const QString& reason);

    QString path_;
    QFile file_;
    QByteArray held_;
    qint64 written_ = 0;
    QTimer flush_timer_;
};

}  // namespace sensor
