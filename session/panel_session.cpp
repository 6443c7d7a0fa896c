#include "session/panel_session.h"

#include <QFileInfo>
#include <QLocale>
#include <QSettings>

#include <chrono>
#include <cstdio>
#include <span>

#include "io/replay_source.h"
#include "io/serial_link.h"
#include "panel/window/waiting_lines_question.h"
#include "trends/window/trends_window.h"

namespace sensor {
namespace {

// The status bar's numbers change twice a second; a change the session makes itself (a state,
// a message) shows at once.
constexpr int kStatusMs = 500;

char locale_decimal_separator() {
    const QString point = QLocale().decimalPoint();
    const QChar first = point.isEmpty() ? QChar('.') : point.front();
    return first.unicode() < 0x80 ? char(first.unicode()) : '.';
}

}  // namespace

PanelSession::PanelSession(const PanelOptions& options, std::unique_ptr<BoardConnection> connection, QObject* parent)
    : QObject(parent),
      options_(options),
      logic_(locale_decimal_separator()),
      window_(logic_),
      log_(options.log_path.isEmpty() ? LogFile::default_path() : options.log_path),
      ports_(options.ports),
      connection_(std::move(connection)) {
    clock_.start();
    connect(&log_, &LogFile::message, this, &PanelSession::report);
    // The log changes with every line; its field follows on the next regular update.
    connect(&log_, &LogFile::changed, this, &PanelSession::status_may_be_due);
    connect(&window_, &MainWindow::unloading, this, &PanelSession::shutdown);
    connect(&window_, &MainWindow::port_chosen, this, &PanelSession::switch_port);
    connect(&window_, &MainWindow::log_path_chosen, this, &PanelSession::set_log_path);
    connect(&window_, &MainWindow::logging_switched, this, &PanelSession::set_logging);
    connect(&window_, &MainWindow::record_requested, this, &PanelSession::start_recording);
    connect(&window_, &MainWindow::stop_recording_requested, this, &PanelSession::stop_recording);
    connect(&window_, &MainWindow::replay_requested, this, &PanelSession::replay);
    connect(&window_, &MainWindow::replay_pause_requested, this, [this](bool pause) {
        if (ReplayControl* r = connection_ ? connection_->replay() : nullptr) pause ? r->pause() : r->resume();
    });
    connect(&window_, &MainWindow::replay_restart_requested, this, [this] {
        if (ReplayControl* r = connection_ ? connection_->replay() : nullptr) r->restart();
    });
    connect(&window_, &MainWindow::replay_speed_requested, this, [this](double speed) {
        if (ReplayControl* r = connection_ ? connection_->replay() : nullptr) r->set_speed(speed);
    });
    connect(&recorder_, &CaptureFile::message, this, &PanelSession::report);
    connect(&recorder_, &CaptureFile::changed, this, &PanelSession::update_status);
    connect(&recorder_, &CaptureFile::stopped, this, [this] { window_.set_recording(false); });
    connect(&form(), &Form1::command_taken, this, &PanelSession::on_command);
    connect(&ports_, &PortList::changed, this, &PanelSession::update_ports);
    connect(this, &PanelSession::frame_decoded, &log_, [this](const FrameResult& frame) {
        if (frame.log_line && logging_) log_.append(*frame.log_line);
    });
    // The history is kept from start-up, so Trends opened later still shows what came before.
    connect(this, &PanelSession::frame_decoded, this, [this](const FrameResult& frame) {
        history_.add(std::chrono::steady_clock::now(), frame);
        if (trends_) trends_->frame_added();
    });
    connect(&window_, &MainWindow::trends_requested, this, &PanelSession::show_trends);
    window_.set_close_guard([this] { return may_close(); });
    window_.set_log(log_.path(), logging_);

    status_timer_.setInterval(kStatusMs);
    connect(&status_timer_, &QTimer::timeout, this, &PanelSession::update_status);
    // While frames arrive the status bar is updated on a display tick, painted with the cells in
    // one pass; the timer then never fires, and takes over when the ticks stop.
    connect(&form().display_tick(), &DisplayTick::tick, this, &PanelSession::status_may_be_due);
    attach();
}

PanelSession::~PanelSession() {
    shutdown();
    // The members' own last words (the log's final flush) must not reach a half-destroyed session.
    log_.disconnect(this);
    recorder_.disconnect(this);
    ports_.disconnect(this);
    window_.disconnect(this);
    if (trends_) trends_->disconnect(this);
    logic_.set_sink(nullptr);
    if (connection_) connection_->disconnect(this);
    connection_.reset();
}

void PanelSession::attach() {
    logic_.set_sink(connection_.get());
    if (!connection_) return;
    connect(connection_.get(), &BoardConnection::received, this, &PanelSession::on_received);
    connect(connection_.get(), &BoardConnection::message, this, &PanelSession::report);
    connect(connection_.get(), &BoardConnection::state_changed, this, &PanelSession::on_state_changed);
    connect(connection_.get(), &BoardConnection::progress_changed, this, &PanelSession::update_replay);
    update_replay();
}

void PanelSession::start() {
    logic_.Load();
    form().refresh();
    started_ = true;
    status_timer_.start();
    ports_.start();
    update_ports();
    if (connection_) connection_->open();
    if (options_.trends || (options_.settings && options_.settings->value(QStringLiteral("trends/open")).toBool()))
        show_trends();
    update_status();
}

void PanelSession::set_connection(std::unique_ptr<BoardConnection> connection) {
    if (connection_) {
        connection_->disconnect(this);
        connection_->close();
    }
    logic_.set_sink(nullptr);
    logic_.connection_switched();
    connection_ = std::move(connection);
    attach();
    if (started_ && !shut_down_ && connection_) connection_->open();
    update_ports();
    update_status();
}

void PanelSession::switch_port(const QString& location) {
    if (location.isEmpty() || shut_down_) return;
    if (options_.settings) options_.settings->setValue(QStringLiteral("port/last"), location);
    if (PortControl* link = connection_ ? connection_->port_control() : nullptr) {
        if (link->port() == location && connection_->state() == BoardConnection::State::Open) return;
        logic_.connection_switched();
        link->switch_to(location);
        update_ports();
        update_status();
        return;
    }
    set_connection(std::make_unique<SerialLink>(location));
}

bool PanelSession::start_recording(const QString& path) {
    if (!recorder_.start(path)) return false;
    window_.set_recording(true);
    report(tr("Recording every byte received to %1.").arg(path));
    return true;
}

void PanelSession::stop_recording() {
    if (!recorder_.recording()) return;
    const QString path = recorder_.path();
    const qint64 size = recorder_.size();
    if (recorder_.stop()) report(tr("The recording %1 is complete: %2 bytes.").arg(path).arg(size));
    window_.set_recording(false);
    update_status();
}

void PanelSession::replay(const QString& path) {
    if (path.isEmpty() || shut_down_) return;
    set_connection(std::make_unique<ReplaySource>(path));
}

void PanelSession::show_trends() {
    if (!trends_) {
        // A window of its own beside the panel, closed with it.
        trends_ = std::make_unique<TrendsWindow>(history_, &window_);
        trends_->setWindowFlag(Qt::Window);
        connect(trends_.get(), &TrendsWindow::message, this, &PanelSession::report);
    }
    trends_->show();
    trends_->raise();
    trends_->activateWindow();
}

void PanelSession::update_replay() {
    ReplayControl* r = connection_ ? connection_->replay() : nullptr;
    std::optional<ReplayProgress> progress;
    if (r && connection_->state() == BoardConnection::State::Open) progress = r->progress();
    window_.status().show_replay(progress);
    window_.set_replay(progress.has_value(), progress && progress->paused, progress ? progress->speed : 1);
}

void PanelSession::set_log_path(const QString& path) {
    if (path.isEmpty()) return;
    if (options_.settings) options_.settings->setValue(QStringLiteral("log/path"), path);
    log_.set_path(path);
    window_.set_log(log_.path(), logging_);
    report(tr("Runs are logged to %1.").arg(path));
}

void PanelSession::set_logging(bool on) {
    logging_ = on;
    window_.set_log(log_.path(), logging_);
    report(on ? tr("Runs are logged to %1 again.").arg(log_.path())
              : tr("Logging is off: runs write no lines until Log > Log runs is ticked again."));
}

void PanelSession::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    status_timer_.stop();
    ports_.stop();
    if (trends_) trends_->save_settings();
    if (connection_) connection_->close();
    recorder_.stop();
    if (!log_.flush()) {
        const QString where = log_.rescue_waiting();
        if (!where.isEmpty()) std::fprintf(stderr, "sensor-panel: %s\n", qUtf8Printable(where));
    }
}

// Closing the window while log lines wait: the operator decides what becomes of them.
bool PanelSession::may_close() {
    return settle_waiting_lines(&window_, log_, [this](const QString& sentence) { report(sentence); });
}

void PanelSession::on_received(const QByteArray& chunk) {
    if (recorder_.recording()) recorder_.append(chunk);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(chunk.constData()),
                                              static_cast<std::size_t>(chunk.size()));
    // Only a frame's end changes cells; a chunk that ends mid-frame must not spend the refresh
    // that the zero byte a moment later is due.
    bool frame_ended = false;
    bool hint_withdrawn = false;
    const std::int64_t now = now_ms();
    logic_.receive(bytes, [this, &frame_ended, &hint_withdrawn, now](const FrameResult& frame) {
        frame_ended = true;
        hint_withdrawn = health_.frame(now, frame.data_bytes) || hint_withdrawn;
        emit frame_decoded(frame);
    });
    if (!frame_ended) return;
    // The no-frames hint is not left standing over a count that grows.
    if (hint_withdrawn) report(tr("Frames arrive from %1 now.").arg(connection_->description()));
    if (form().stale()) {
        form().set_stale(false);
        update_status();
    }
    form().cells_changed();
}

void PanelSession::on_state_changed(BoardConnection::State state) {
    if (state == BoardConnection::State::Open) {
        health_.restart(now_ms());
        // A board that lost power, or one on another port, learns what the panel shows.
        // Said after the connection's own "is open", so the newest message is what was done.
        if (logic_.connection_opened()) {
            const QString sent = tr("The board was sent the panel's state (byte %1), so it agrees with what the panel shows.")
                                     .arg(logic_.ControlByte() & 0xFF);
            QMetaObject::invokeMethod(this, [this, sent] { report(sent); }, Qt::QueuedConnection);
        }
    } else if (state == BoardConnection::State::Lost) {
        logic_.connection_lost();
    }
    update_ports();
    update_status();
}

void PanelSession::on_command(CommandOutcome outcome) {
    if (outcome == CommandOutcome::Refused) report(tr("At least one sensor group stays on."));
    if (outcome == CommandOutcome::Pending)
        report(tr("The board is not connected: the panel follows the click, and the board will be told when it is back."));
}

void PanelSession::report(const QString& sentence) {
    window_.status().show_message(sentence);
    if (options_.echo_to_stderr) std::fprintf(stderr, "sensor-panel: %s\n", qUtf8Printable(sentence));
    update_status();
}

void PanelSession::update_ports() {
    QString current;
    if (PortControl* link = connection_ ? connection_->port_control() : nullptr) current = link->port();
    else if (connection_) current = connection_->description();
    window_.set_ports(ports_.ports(), current, options_.ports_choosable);
}

void PanelSession::status_may_be_due() {
    if (!status_updated_.isValid() || status_updated_.elapsed() >= kStatusMs - DisplayTick::kIntervalMs / 2) update_status();
}

void PanelSession::update_status() {
    const std::int64_t now = now_ms();
    status_updated_.start();
    if (status_timer_.isActive()) status_timer_.start();
    const bool open = connection_ && connection_->state() == BoardConnection::State::Open;
    const std::int64_t quiet = open ? health_.quiet_ms(now) : -1;

    // Readings older than the line's news are shown as such until the next frame.
    form().set_stale(health_.stale(now, open));

    if (open && health_.take_silence_hint(now)) {
        const QString here = connection_->description();
        PortControl* link = connection_->port_control();
        const QString others = link ? ports_.others_than(link->port()) : QString();
        report(others.isEmpty() || !options_.ports_choosable
                   ? tr("No frames from %1 for %2 s. Is the board switched on and on this port?").arg(here).arg(quiet / 1000)
                   : tr("No frames from %1 for %2 s. Other ports: %3.").arg(here).arg(quiet / 1000).arg(others));
    }

    PanelStatus status;
    if (connection_) {
        status.port = connection_->description();
        status.port_state = state_text(connection_->state());
    }
    status.frames = logic_.frames_decoded();
    status.show_rate = open && quiet >= 0;
    status.frames_per_second = status.show_rate ? health_.frames_per_second(now) : 0;
    status.short_frames = health_.short_frames();
    status.wrapped_frames = health_.wrapped_frames();
    status.quiet_seconds = open && health_.any_frame_since_restart() ? quiet / 1000 : 0;
    status.log_path = log_.path();
    status.log_state = log_.state_text();
    status.logging = logging_;
    status.marker = options_.marker;
    if (recorder_.recording()) {
        const QString size = QLocale().formattedDataSize(recorder_.size(), 1, QLocale::DataSizeTraditionalFormat);
        status.marker += (status.marker.isEmpty() ? QString() : QStringLiteral(", ")) +
                         tr("recording %1, %2").arg(QFileInfo(recorder_.path()).fileName(), size);
    }
    window_.status().show_status(status);
}

}  // namespace sensor
