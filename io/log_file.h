// The log file: each CSV line appended on its own (open, one write, close), so every line is on
// disk once written. Lines the file does not take wait and are retried (the rules are in
// WaitingLines); this class does only the file's I/O.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <string>

#include "eval/waiting_lines.h"

namespace sensor {

class LogFile : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxWaiting = WaitingLines::kCapacity;

    explicit LogFile(const QString& path = default_path(), QObject* parent = nullptr);
    ~LogFile() override;  // one last try; what is still waiting is reported with its count

    // "c:\temp\sensors.csv" on Windows; "sensors.csv" in the user's documents folder elsewhere.
    static QString default_path();

    void append(const std::string& line);  // the line with its line end
    bool flush();                          // writes what waits; true when nothing waits

    // Another file from now on; lines still waiting go there first.
    void set_path(const QString& path);
    // A line (with its line end) written first into a file that is new or empty, and only then;
    // "" (the default) for none, so the log stays lines of eight fields.
    void set_header_line(const std::string& header) { header_ = header; }
    const std::string& header_line() const { return header_; }
    // Writes the waiting lines to another file and forgets them; "" on success, else why not.
    QString save_waiting_to(const QString& path);
    void discard_waiting() { lines_.discard(); emit changed(); }
    // For an exit that cannot ask (a signal): the waiting lines go to a new file beside the log,
    // or in the home folder when that fails. Returns the sentence saying where, or why nowhere.
    QString rescue_waiting();
    QString failure() const { return QString::fromStdString(lines_.failure()); }

    QString path() const { return path_; }
    std::size_t waiting() const { return lines_.waiting(); }
    std::uint64_t written() const { return lines_.written(); }
    std::uint64_t dropped() const { return lines_.dropped(); }
    QString state_text() const { return QString::fromStdString(lines_.state_text()); }
    QString exit_report() const { return QString::fromStdString(lines_.exit_report()); }

signals:
    void message(const QString& sentence);  // once per cause, and when writing works again
    void changed();

private:
    bool write_waiting();

    QString path_;
    std::string header_;
    WaitingLines lines_;
    QElapsedTimer clock_;
    QTimer retry_;
};

// Appends one line to path: creates a missing folder; on a write cut short the file is cut back to
// its old length, so no half line stays. A header, when given, goes first into a file that is new
// or empty. Returns "" on success, otherwise the reason.
std::string append_line(const QString& path, const std::string& line, const std::string& header = {});

}  // namespace sensor
