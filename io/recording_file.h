// A capture file as a replay reads it: looked over once when opened (which format, how many bytes
// from the board and how long it holds, whether it was cut short), then read from the first byte:
// a recording with times record by record, raw bytes as they stand.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include "recording/recording_reader.h"

namespace sensor {

class RecordingFile {
public:
    // "" when it can be played; otherwise the sentence why not, naming the file.
    QString open(const QString& path);
    void close() { file_.close(); }
    // Back to the first byte.
    void rewind();

    RecordingFormat format() const { return format_; }
    bool timed() const { return format_ == RecordingFormat::Timed; }
    const RecordingHeader& header() const { return header_; }
    qint64 received_bytes() const { return received_; }  // from the board, as opened
    qint64 last_us() const { return last_us_; }           // the time of its last record
    // One sentence when the recording was cut short or damaged, said once by whoever opens it.
    const QString& cut() const { return cut_; }

    // A recording with times: the next record; false at its end.
    bool next(Record& out);
    // Raw bytes: up to n of them; fewer at the end.
    QByteArray read(qint64 n) { return file_.read(n); }
    // Why the last read failed; "" when it did not.
    QString read_error() const;

private:
    QString path_;
    QFile file_;
    RecordingFormat format_ = RecordingFormat::Undecided;
    RecordingHeader header_;
    qint64 received_ = 0;
    qint64 last_us_ = 0;
    QString cut_;
    RecordingReader reader_;
    bool read_to_end_ = false;
};

}  // namespace sensor
