// The log file: each CSV line appended on its own (open, one write, close), so every line is on
// disk once written. A line that cannot be written waits, in order, and goes out ahead of the
// next one as soon as the file can be written again; nothing is dropped in silence.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <string>

namespace sensor {

class LogFile : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxWaiting = 100'000;

    explicit LogFile(const QString& path = default_path(), QObject* parent = nullptr);
    ~LogFile() override;  // one last try; what is still waiting is reported with its count

    // "c:\temp\sensors.csv" on Windows; "sensors.csv" in the user's documents folder elsewhere.
    static QString default_path();

    void append(const std::string& line);  // the line with its line end
    bool flush();                          // writes what waits; true when nothing waits

    QString path() const { return path_; }
    std::size_t waiting() const { return waiting_.size(); }
    std::uint64_t written() const { return written_; }
    std::uint64_t dropped() const { return dropped_; }
    QString state_text() const;  // "5 lines written", "cannot write: ...; 12 lines waiting"

signals:
    void message(const QString& sentence);  // once per cause, and when writing works again
    void changed();

private:
    bool write_waiting();

    QString path_;
    std::deque<std::string> waiting_;
    std::uint64_t written_ = 0;
    std::uint64_t dropped_ = 0;
    QString failure_;  // the current cause, empty while writing works
    QTimer retry_;
};

}  // namespace sensor
