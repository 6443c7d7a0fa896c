#include "panel/panel_session.h"

#include <QLocale>

#include <cstdio>
#include <span>

namespace sensor {
namespace {

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
      form_(logic_),
      log_(options.log_path.isEmpty() ? LogFile::default_path() : options.log_path),
      connection_(std::move(connection)) {
    connect(&log_, &LogFile::message, this, &PanelSession::report);
    connect(&log_, &LogFile::changed, this, &PanelSession::update_status);
    connect(&form_, &Form1::unloading, this, &PanelSession::shutdown);
    connect(this, &PanelSession::frame_decoded, &log_, [this](const FrameResult& frame) {
        if (frame.log_line) log_.append(*frame.log_line);
    });

    status_timer_.setInterval(1000);
    connect(&status_timer_, &QTimer::timeout, this, &PanelSession::update_status);
    attach();
}

PanelSession::~PanelSession() {
    shutdown();
    logic_.set_sink(nullptr);
    if (connection_) connection_->disconnect(this);
    connection_.reset();
}

void PanelSession::attach() {
    logic_.set_sink(connection_.get());
    if (!connection_) return;
    connect(connection_.get(), &BoardConnection::received, this, &PanelSession::on_received);
    connect(connection_.get(), &BoardConnection::message, this, &PanelSession::report);
    connect(connection_.get(), &BoardConnection::state_changed, this, &PanelSession::update_status);
}

void PanelSession::start() {
    logic_.Load();
    form_.refresh();
    started_ = true;
    rate_clock_.start();
    status_timer_.start();
    if (connection_) connection_->open();
    update_status();
}

void PanelSession::set_connection(std::unique_ptr<BoardConnection> connection) {
    if (connection_) {
        connection_->disconnect(this);
        connection_->close();
    }
    logic_.set_sink(nullptr);
    connection_ = std::move(connection);
    attach();
    if (started_ && !shut_down_ && connection_) connection_->open();
    update_status();
}

void PanelSession::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    status_timer_.stop();
    if (connection_) connection_->close();
    log_.flush();
}

void PanelSession::on_received(const QByteArray& chunk) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(chunk.constData()),
                                              static_cast<std::size_t>(chunk.size()));
    // Only a frame's end changes cells; a chunk that ends mid-frame must not spend the refresh
    // that the zero byte a moment later is due.
    bool frame_ended = false;
    logic_.receive(bytes, [this, &frame_ended](const FrameResult& frame) {
        frame_ended = true;
        emit frame_decoded(frame);
    });
    if (frame_ended) form_.cells_changed();
}

void PanelSession::report(const QString& sentence) {
    form_.show_message(sentence);
    if (options_.echo_to_stderr) std::fprintf(stderr, "sensor-panel: %s\n", qUtf8Printable(sentence));
    update_status();
}

void PanelSession::update_status() {
    const qint64 elapsed = rate_clock_.isValid() ? rate_clock_.elapsed() : 0;
    if (elapsed >= 1000) {
        frames_per_second_ = double(logic_.frames_decoded() - frames_at_last_status_) * 1000.0 / double(elapsed);
        frames_at_last_status_ = logic_.frames_decoded();
        rate_clock_.restart();
    }
    PanelStatus status;
    if (connection_) {
        status.port = connection_->description();
        status.port_state = state_text(connection_->state());
    }
    status.frames = logic_.frames_decoded();
    status.frames_per_second = frames_per_second_;
    status.log_path = log_.path();
    status.log_state = log_.state_text();
    form_.show_status(status);
}

}  // namespace sensor
