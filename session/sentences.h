// Every sentence the running panel says of its own, in one place: what the operator reads in
// the status bar, in View > Messages and on standard error. The connections, the log and the
// windows say theirs in their own libraries.
#pragma once

#include <QString>

#include <cstdint>

namespace sensor::sentences {

// Clicks
QString last_group_stays_on();
QString board_told_later();
QString board_brought_in_step(int control_byte);
// The line
QString frames_arrive(const QString& where);
QString frames_malformed(const QString& where);
QString no_frames(const QString& where, const QString& quiet_for, const QString& other_ports);
// The log
QString logged_to(const QString& path);
QString logged_again(const QString& path);
QString logging_off();
QString time_columns(bool on);
// Recordings and replays
QString recording_to(const QString& path);
QString recording_complete(const QString& path, qint64 bytes);
QString recording_extra(const QString& name, const QString& size);  // the status bar's "recording run.rec, 12 KiB"
QString replayed_command(const QString& what, qint64 us_since_start);
QString replayed_marker(const QString& label, std::uint64_t frame);
// Markers
QString marker_set(const QString& label, std::uint64_t frame);
// The demo
QString demo_hint();

}  // namespace sensor::sentences
