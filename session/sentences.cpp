#include "session/sentences.h"

#include <QCoreApplication>

namespace sensor::sentences {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("sensor-panel", text); }

// Where in a recording something happened: "00:01:23".
QString recording_time(qint64 us) {
    const qint64 s = us / 1'000'000;
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return QStringLiteral("%1:%2:%3").arg(two(s / 3600), two(s / 60 % 60), two(s % 60));
}

}  // namespace

QString last_group_stays_on() { return tr("At least one sensor group stays on."); }

QString board_told_later() {
    return tr("The board is not connected: the panel follows the click, and the board will be told when it is back.");
}

QString board_brought_in_step(int control_byte) {
    return tr("The board was sent the panel's state (byte %1), so it agrees with what the panel shows.").arg(control_byte);
}

QString frames_arrive(const QString& where) { return tr("Frames arrive from %1 now.").arg(where); }

QString frames_malformed(const QString& where) {
    return tr("Bytes arrive from %1, but most frames come short or overlong: is the board on this port, and does it send "
              "at 19200 baud, 8N1?")
        .arg(where);
}

QString no_frames(const QString& where, const QString& quiet_for, const QString& other_ports) {
    if (other_ports.isEmpty())
        return tr("No frames from %1 for %2. Is the board switched on and on this port?").arg(where, quiet_for);
    return tr("No frames from %1 for %2. Other ports: %3.").arg(where, quiet_for, other_ports);
}

QString logged_to(const QString& path) { return tr("Runs are logged to %1.").arg(path); }

QString logged_again(const QString& path) { return tr("Runs are logged to %1 again.").arg(path); }

QString logging_off() { return tr("Logging is off: runs write no lines until Log > Log runs is ticked again."); }

QString time_columns(bool on) {
    return on ? tr("Log lines carry their time, run clock, frame and markers from now on.")
              : tr("Log lines are the eight plain fields from now on.");
}

QString recording_to(const QString& path) {
    return tr("Recording the run to %1: every byte received with its time, the commands and the markers.").arg(path);
}

QString recording_complete(const QString& path, qint64 bytes) {
    return tr("The recording %1 is complete: %2 bytes.").arg(path).arg(bytes);
}

QString recording_extra(const QString& name, const QString& size) { return tr("recording %1, %2").arg(name, size); }

QString replayed_command(const QString& what, qint64 us_since_start) {
    return tr("%1 sent at %2 in the recording.").arg(what, recording_time(us_since_start));
}

QString replayed_marker(const QString& label, std::uint64_t frame) {
    return tr("%1, recorded at frame %2.").arg(label).arg(frame);
}

QString marker_set(const QString& label, std::uint64_t frame) { return tr("%1 set at frame %2.").arg(label).arg(frame); }

QString demo_hint() { return tr("The demo runs on a simulated board; choose a port in the Port menu to leave it."); }

}  // namespace sensor::sentences
