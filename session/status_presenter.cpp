#include "session/status_presenter.h"

#include <QFileInfo>
#include <QLocale>

#include <cstdio>
#include <utility>

#include "io/capture_file.h"
#include "io/log_file.h"
#include "io/port_list.h"
#include "panel/duration_text.h"
#include "panel/status_line.h"
#include "panel/window/form1.h"
#include "panel/window/status_bar.h"
#include "session/connection_switcher.h"
#include "session/sentences.h"

namespace sensor {
namespace {

std::string text(const QString& s) { return s.toStdString(); }
QString text(const std::string& s) { return QString::fromStdString(s); }

// What a replay's state word is beside the connection's own.
QString state_word(BoardConnection& connection) {
    if (ReplayControl* replay = connection.replay();
        replay && connection.state() == BoardConnection::State::Open) {
        const ReplayProgress p = replay->progress();
        if (p.ended) return QStringLiteral("ended");
        if (p.paused) return QStringLiteral("paused");
    }
    return state_text(connection.state());
}

}  // namespace

StatusPresenter::StatusPresenter(Sources sources, StatusBar& bar, Form1& form, bool echo_to_stderr, QObject* parent)
    : QObject(parent), sources_(sources), bar_(bar), form_(form), echo_(echo_to_stderr) {
    clock_.start();
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &StatusPresenter::update);
}

void StatusPresenter::start() { update(); }

void StatusPresenter::stop() { timer_.stop(); }

void StatusPresenter::report(const QString& sentence) {
    if (sentence.isEmpty()) return;
    bar_.show_message(sentence);
    if (echo_) std::fprintf(stderr, "sensor-panel: %s\n", qUtf8Printable(sentence));
    update();
}

void StatusPresenter::set_extras(const QString& extras) {
    extras_ = extras;
    update();
}

void StatusPresenter::connection_changed() {
    health_.reset();
    news_ = LineNews::None;
    form_.set_stale(false);
}

void StatusPresenter::connection_opened() { health_.restart(now_ms()); }

void StatusPresenter::frame(int data_bytes) {
    const LineNews news = health_.frame(now_ms(), data_bytes);
    if (news != LineNews::None) news_ = news;
}

void StatusPresenter::ticked(std::int64_t tick_interval_ms) {
    // Fresh readings never look old, whatever the counts' pace.
    if (form_.stale() && !health_.stale(now_ms(), true)) form_.set_stale(false);
    if (news_ != LineNews::None || pace_.due_on_tick(now_ms(), tick_interval_ms)) update();
}

QString StatusPresenter::current_description() const {
    const BoardConnection* c = sources_.connections.current();
    return c ? c->description() : QString();
}

void StatusPresenter::update() {
    const std::int64_t now = now_ms();
    timer_.start(static_cast<int>(pace_.updated(now)));
    BoardConnection* connection = sources_.connections.current();
    const bool open = connection && connection->state() == BoardConnection::State::Open;
    const std::int64_t quiet = open ? health_.quiet_ms(now) : -1;

    // Readings older than the line's news are shown as such until the next frame.
    form_.set_stale(health_.stale(now, open));

    // The line's news, and the hint when an open line stays silent, before the counts.
    const QString here = current_description();
    switch (std::exchange(news_, LineNews::None)) {
        case LineNews::FramesArrive: report(sentences::frames_arrive(here)); return;
        case LineNews::FramesMalformed:
            report(sentences::frames_malformed(here));
            return;
        case LineNews::None: break;
    }
    if (open && health_.take_silence_hint(now)) {
        PortControl* port = connection->port_control();
        const QString others = port ? sources_.ports.others_than(port->port()) : QString();
        const QString quiet_text = text(duration_text(quiet / 1000));
        report(sentences::no_frames(here, quiet_text, others));
        return;
    }

    const QLocale locale;
    StatusFacts facts;
    if (connection) {
        facts.connection = text(here);
        facts.state = text(state_word(*connection));
    }
    facts.frames = health_.frames();
    if (open && quiet >= 0) facts.rate = health_.frames_per_second(now);
    facts.short_frames = health_.short_frames();
    facts.overlong_frames = health_.wrapped_frames();
    if (open && health_.any_frame_since_restart()) facts.quiet_s = quiet / 1000;
    facts.logging = logging_;
    facts.log_name = text(QFileInfo(sources_.log.path()).fileName());
    facts.log_state = text(sources_.log.state_text());
    QString extras = extras_;
    if (sources_.recorder.recording()) {
        const QString size = locale.formattedDataSize(sources_.recorder.size(), 1, QLocale::DataSizeTraditionalFormat);
        extras += (extras.isEmpty() ? QString() : QStringLiteral(", ")) +
                  sentences::recording_extra(QFileInfo(sources_.recorder.path()).fileName(), size);
    }
    facts.extras = text(extras);
    facts.group_separator = text(locale.groupSeparator());
    const StatusLine line = status_line(facts);
    bar_.show_fields(text(line.port), text(line.frames), text(line.health), text(line.age), text(line.log),
                     text(line.extras), sources_.log.path());
}

}  // namespace sensor
