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

PanelSession::PanelSession(const PanelOptions& options, QObject* parent)
    : QObject(parent),
      options_(options),
      logic_(locale_decimal_separator()),
      form_(logic_),
      log_(options.log_path.isEmpty() ? LogFile::default_path() : options.log_path) {
    connect(&log_, &LogFile::message, this, &PanelSession::report);
    connect(&log_, &LogFile::changed, this, &PanelSession::update_status);
    connect(&form_, &Form1::unloading, this, &PanelSession::shutdown);

    status_timer_.setInterval(1000);
    connect(&status_timer_, &QTimer::timeout, this, &PanelSession::update_status);
}

PanelSession::~PanelSession() {
    shutdown();
    logic_.set_sink(nullptr);
    if (link_) link_->disconnect(this);
    link_.reset();
    board_.reset();
}

bool PanelSession::start(QString* error) {
    logic_.Load();
    form_.refresh();

    QString port = options_.port;
    if (options_.demo) {
        board_ = std::make_unique<PtyBoard>();
        QString why;
        if (!board_->start(&why)) {
            if (error) *error = why;
            board_.reset();
            return false;
        }
        port = board_->device_path();
    }

    link_ = std::make_unique<SerialLink>(port);
    logic_.set_sink(link_.get());
    connect(link_.get(), &SerialLink::received, this, &PanelSession::on_received);
    connect(link_.get(), &SerialLink::message, this, &PanelSession::report);
    connect(link_.get(), &SerialLink::state_changed, this, &PanelSession::update_status);

    rate_clock_.start();
    status_timer_.start();
    link_->open();
    update_status();
    return true;
}

void PanelSession::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    status_timer_.stop();
    if (link_) link_->close();
    log_.flush();
    if (board_) board_->stop();
}

void PanelSession::on_received(const QByteArray& chunk) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(chunk.constData()),
                                              static_cast<std::size_t>(chunk.size()));
    // Only a frame's end changes cells; a chunk that ends mid-frame must not spend the refresh
    // that the zero byte a moment later is due.
    bool frame_ended = false;
    logic_.receive(bytes, [this, &frame_ended](const ByteOutcome& outcome) {
        frame_ended = true;
        if (outcome.log_line) log_.append(*outcome.log_line);
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
    if (link_) {
        status.port = link_->port();
        status.port_state = link_->state_text();
    }
    status.frames = logic_.frames_decoded();
    status.frames_per_second = frames_per_second_;
    status.log_path = log_.path();
    status.log_state = log_.state_text();
    form_.show_status(status);
}

}  // namespace sensor
