#include "session/panel_session.h"

#include <QDateTime>
#include <QLocale>
#include <QSettings>

#include <cstdio>
#include <span>

#include "eval/timed_log_line.h"
#include "link/control_byte.h"
#include "panel/duration_text.h"
#include "panel/window/waiting_lines_question.h"
#include "session/sentences.h"
#include "trends/window/trends_window.h"

namespace sensor {
namespace {

char locale_decimal_separator() {
    const QString point = QLocale().decimalPoint();
    const QChar first = point.isEmpty() ? QChar('.') : point.front();
    return first.unicode() < 0x80 ? char(first.unicode()) : '.';
}

PanelSettings load_settings(const QSettings* settings) { return settings ? PanelSettings::load(*settings) : PanelSettings{}; }

QString first_log_path(const PanelOptions& options, const PanelSettings& settings) {
    if (!options.log_path.isEmpty()) return options.log_path;
    if (!settings.log_path.isEmpty()) return settings.log_path;
    return LogFile::default_path();
}

}  // namespace

PanelSession::PanelSession(const PanelOptions& options, std::unique_ptr<BoardConnection> first, QObject* parent)
    : QObject(parent),
      options_(options),
      settings_(load_settings(options.settings)),
      logic_(locale_decimal_separator()),
      window_(logic_),
      log_(first_log_path(options, settings_)),
      ports_(options.ports),
      connections_(std::move(first)),
      status_({connections_, log_, recorder_, ports_}, window_.status(), window_.form(), options.echo_to_stderr) {
    status_.set_extras(options_.marker);
    set_time_columns(options_.log_times || settings_.log_times, false);

    // What the operator asks of the window goes straight to the part that does it.
    connect(&window_, &MainWindow::unloading, this, &PanelSession::shutdown);
    connect(&window_, &MainWindow::message, &status_, &StatusPresenter::report);
    connect(&window_, &MainWindow::port_chosen, &connections_, &ConnectionSwitcher::use_port);
    connect(&window_, &MainWindow::replay_requested, &connections_, &ConnectionSwitcher::use_replay);
    connect(&window_, &MainWindow::replay_pause_requested, this, [this](bool pause) {
        if (ReplayControl* r = connection() ? connection()->replay() : nullptr) pause ? r->pause() : r->resume();
    });
    connect(&window_, &MainWindow::replay_restart_requested, this, [this] {
        ReplayControl* r = connection() ? connection()->replay() : nullptr;
        if (!r) return;
        logic_.stream_restarted();
        r->restart();
    });
    connect(&window_, &MainWindow::replay_speed_requested, this, [this](double speed) {
        if (ReplayControl* r = connection() ? connection()->replay() : nullptr) r->set_speed(speed);
    });
    connect(&window_, &MainWindow::log_path_chosen, this, [this](const QString& path) { use_log(path, true); });
    connect(&window_, &MainWindow::logging_switched, this, &PanelSession::set_logging);
    connect(&window_, &MainWindow::record_requested, this, &PanelSession::start_recording);
    connect(&window_, &MainWindow::stop_recording_requested, this, &PanelSession::stop_recording);
    connect(&window_, &MainWindow::trends_requested, this, &PanelSession::show_trends);
    connect(&window_, &MainWindow::marker_requested, this, &PanelSession::mark);
    connect(&window_, &MainWindow::time_columns_switched, this, [this](bool on) {
        set_time_columns(on, true);
        report(sentences::time_columns(on));
    });
    window_.set_close_guard([this] { return may_close(); });
    window_.set_log(log_.path(), status_.logging());

    connect(&connections_, &ConnectionSwitcher::changed, this, &PanelSession::attach);
    connect(&connections_, &ConnectionSwitcher::chosen_port_opened, this, [this](const QString& port) {
        settings_.last_port = port;
        save_settings();
    });
    connect(&log_, &LogFile::message, &status_, &StatusPresenter::report);
    connect(&recorder_, &CaptureFile::message, &status_, &StatusPresenter::report);
    connect(&recorder_, &CaptureFile::changed, &status_, &StatusPresenter::update);
    connect(&recorder_, &CaptureFile::stopped, this, [this] { window_.set_recording(false); });
    connect(&form(), &Form1::command_taken, this, [this](CommandOutcome outcome) {
        if (outcome == CommandOutcome::Refused) report(sentences::last_group_stays_on());
        if (outcome == CommandOutcome::Pending)
            report(sentences::board_told_later());
    });
    connect(&ports_, &PortList::changed, this, &PanelSession::update_ports);
    connect(this, &PanelSession::frame_decoded, &log_, [this](const FrameResult& frame) {
        if (!frame.log_line || !status_.logging()) return;
        if (!time_columns_) {
            log_.append(*frame.log_line);
            return;
        }
        const std::vector<std::string> labels = markers_.take_for_log_line();
        log_.append(timed_log_line(QDateTime::currentMSecsSinceEpoch(), logic_.cells().Text3, frame.index, *frame.log_line,
                                   labels));
    });
    // The history is kept from start-up, so Trends opened later still shows what came before.
    connect(this, &PanelSession::frame_decoded, this, [this](const FrameResult& frame) {
        history_.add(std::chrono::steady_clock::now(), frame);
        if (trends_) trends_->frame_added();
    });
    connect(&tick_, &DisplayTick::tick, this, &PanelSession::on_tick);

    logic_.set_sink(connection());
    wire(connection());
}

PanelSession::~PanelSession() {
    shutdown();
    // The members' own last words (the log's final flush) must not reach a half-destroyed session.
    log_.disconnect(this);
    log_.disconnect(&status_);
    recorder_.disconnect(this);
    recorder_.disconnect(&status_);
    ports_.disconnect(this);
    window_.disconnect(this);
    if (trends_) trends_->disconnect(this);
    logic_.set_sink(nullptr);
    if (connection()) connection()->disconnect(this);
}

// Another connection is in use (or the port connection moved): it is wired in, the board is to
// learn the panel's state when it opens, and its frames are counted afresh.
void PanelSession::attach(BoardConnection* c, bool fresh) {
    logic_.set_sink(c);
    logic_.connection_switched();
    if (first_connection_ && fresh) {
        first_connection_ = false;
        // What only the first connection was (the demo) ends with it, and so does its log.
        status_.set_extras(QString());
        if (!options_.port_log_path.isEmpty()) use_log(options_.port_log_path, false);
    }
    if (fresh) wire(c);
    replayed_byte_ = kControlByteStart;
    status_.connection_changed();
    update_replay();
    update_ports();
    status_.update();
}

// What a connection says reaches the part that uses it.
void PanelSession::wire(BoardConnection* c) {
    if (!c) return;
    connect(c, &BoardConnection::received, this, &PanelSession::on_received);
    connect(c, &BoardConnection::message, &status_, &StatusPresenter::report);
    connect(c, &BoardConnection::state_changed, this, &PanelSession::on_state_changed);
    connect(c, &BoardConnection::progress_changed, this, &PanelSession::update_replay);
    connect(c, &BoardConnection::sent, this, [this](const ControlMessage& m) {
        if (recorder_.recording()) recorder_.append_command(QByteArray(reinterpret_cast<const char*>(m.data()), 2));
    });
    // A replay tells what its recording kept beside the bytes, as it passes them.
    connect(c, &BoardConnection::recorded_command, this, [this](const QByteArray& m, qint64 us) {
        if (m.isEmpty()) return;
        const auto sent = static_cast<std::int16_t>(static_cast<std::uint8_t>(m[0]));
        const std::string what = command_text(replayed_byte_, sent);
        replayed_byte_ = byte_after(sent);
        report(sentences::replayed_command(QString::fromStdString(what), us));
    });
    connect(c, &BoardConnection::recorded_marker, this, [this](const Marker& m) {
        history_.add_marker(std::chrono::steady_clock::now(), m);
        if (trends_) trends_->frame_added();
        report(sentences::replayed_marker(QString::fromStdString(m.label), m.frame));
    });
}

void PanelSession::mark(const QString& label) {
    const Marker m = markers_.mark(logic_.frames_decoded(), label.toStdString());
    history_.add_marker(std::chrono::steady_clock::now(), m);
    if (trends_) trends_->frame_added();
    if (recorder_.recording()) recorder_.append_marker(m);
    report(sentences::marker_set(QString::fromStdString(m.label), m.frame));
}

void PanelSession::set_time_columns(bool on, bool remember) {
    time_columns_ = on;
    log_.set_header_line(on ? timed_log_header() : std::string());
    window_.set_time_columns(on);
    if (remember) {
        settings_.log_times = on;
        save_settings();
    }
}

void PanelSession::start() {
    logic_.Load();
    form().refresh();
    started_ = true;
    ports_.start();
    update_ports();
    status_.start();
    connections_.open();
    if (options_.trends || settings_.trends_open) show_trends();
    status_.update();
}

bool PanelSession::start_recording(const QString& path) {
    if (!recorder_.start(path, connection() ? connection()->description() : QString())) return false;
    window_.set_recording(true);
    report(sentences::recording_to(path));
    return true;
}

void PanelSession::stop_recording() {
    if (!recorder_.recording()) return;
    const QString path = recorder_.path();
    const qint64 size = recorder_.size();
    if (recorder_.stop()) report(sentences::recording_complete(path, size));
    window_.set_recording(false);
    status_.update();
}

void PanelSession::show_trends() {
    if (!trends_) {
        // A window of its own beside the panel, closed with it.
        trends_ = std::make_unique<TrendsWindow>(history_, &window_);
        trends_->setWindowFlag(Qt::Window);
        connect(trends_.get(), &TrendsWindow::message, &status_, &StatusPresenter::report);
        connect(trends_.get(), &TrendsWindow::marker_requested, this, [this](bool ask_label) {
            if (ask_label) window_.ask_marker_label();
            else mark({});
        });
        // Closed by the operator, Trends stays closed at the next start; hidden with the panel as
        // it ends (Ctrl+Q, the window's close box), it opens again.
        connect(trends_.get(), &TrendsWindow::closed, this, [this] {
            if (!shut_down_) remember_trends(false);
        });
    }
    trends_->restore_place({settings_.trends_geometry, settings_.trends_span_s});
    trends_->show();
    trends_->raise();
    trends_->activateWindow();
    remember_trends(true);
}

void PanelSession::remember_trends(bool open) {
    const TrendsWindow::Place place = trends_->place();
    settings_.trends_open = open;
    settings_.trends_geometry = place.geometry;
    settings_.trends_span_s = place.span_s;
    save_settings();
}

void PanelSession::update_replay() {
    ReplayControl* r = connection() ? connection()->replay() : nullptr;
    std::optional<ReplayProgress> progress;
    if (r && connection()->state() == BoardConnection::State::Open) progress = r->progress();
    window_.status().show_replay(progress);
    window_.set_replay(progress.has_value(), progress && progress->paused, progress ? progress->speed : 1);
    status_.update();
}

void PanelSession::use_log(const QString& path, bool remember) {
    if (path.isEmpty() || path == log_.path()) return;
    if (remember) {
        settings_.log_path = path;
        save_settings();
    }
    log_.set_path(path);
    window_.set_log(log_.path(), status_.logging());
    report(sentences::logged_to(path));
}

void PanelSession::set_logging(bool on) {
    status_.set_logging(on);
    window_.set_log(log_.path(), on);
    report(on ? sentences::logged_again(log_.path()) : sentences::logging_off());
}

void PanelSession::save_settings() {
    if (options_.settings) settings_.save(*options_.settings);
}

void PanelSession::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    status_.stop();
    ports_.stop();
    if (trends_) remember_trends(settings_.trends_open);
    connections_.close();
    // However the panel ends, a recording ends whole and says how much it holds.
    stop_recording();
    if (!log_.flush()) {
        const QString where = log_.rescue_waiting();
        if (!where.isEmpty()) std::fprintf(stderr, "sensor-panel: %s\n", qUtf8Printable(where));
    }
}

// Closing the window while log lines wait: the operator decides what becomes of them.
bool PanelSession::may_close() {
    return settle_waiting_lines(&window_, log_, [this](const QString& sentence) { report(sentence); });
}

// The road of a byte: the core takes it; a frame's end counts it for the status line and hands
// the frame to the log and the history; the cells follow on the next display tick.
void PanelSession::on_received(const QByteArray& chunk) {
    if (recorder_.recording()) recorder_.append(chunk);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(chunk.constData()),
                                              static_cast<std::size_t>(chunk.size()));
    bool frame_ended = false;
    logic_.receive(bytes, [this, &frame_ended](const FrameResult& frame) {
        frame_ended = true;
        status_.frame(frame.data_bytes);
        emit frame_decoded(frame);
    });
    // Only a frame's end changes cells; a chunk that ends mid-frame does not spend a tick.
    if (frame_ended) tick_.request();
}

void PanelSession::on_tick() {
    form().refresh();
    status_.ticked(DisplayPace::kIntervalMs);
}

void PanelSession::on_state_changed(BoardConnection::State state) {
    if (state == BoardConnection::State::Open) {
        status_.connection_opened();
        logic_.stream_restarted();
        // A board that lost power, or one on another port, learns what the panel shows; a
        // replay has no board to tell. Said after the connection's own "is open", so the newest
        // message is what was done.
        if (!connection()->replay() && logic_.connection_opened()) {
            const QString sent = sentences::board_brought_in_step(logic_.ControlByte() & 0xFF);
            QMetaObject::invokeMethod(this, [this, sent] { report(sent); }, Qt::QueuedConnection);
        }
    } else if (state == BoardConnection::State::Lost) {
        logic_.connection_lost();
    }
    update_ports();
    update_replay();
}

void PanelSession::update_ports() {
    QString current;
    if (PortControl* port = connection() ? connection()->port_control() : nullptr) current = port->port();
    else if (connection()) current = connection()->description();
    window_.set_ports(ports_.ports(), current, true);
}

}  // namespace sensor
