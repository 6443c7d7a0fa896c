// The Trends window: the plots, the paced redraw, the readout and the settings.
#include "trends/window/trends_window.h"

#include <QCloseEvent>
#include <QLocale>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

#include "trends/window/elided_label.h"
#include "trends/window/frame_readout.h"
#include "trends/window/trend_plot.h"

namespace sensor {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;
// Spans longer than the frames held are drawn from whole time blocks.
constexpr int kLongestFramesSpan = 600;

std::int64_t steady_now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TrendsWindow::TrendsWindow(const History& history, QWidget* parent)
    : QMainWindow(parent), history_(history), clock_(steady_now_ns) {
    setObjectName(QStringLiteral("TrendsWindow"));
    setWindowTitle(tr("Trends"));

    plots_area_ = new QWidget(this);
    plots_area_->setObjectName(QStringLiteral("plots"));
    auto* column = new QVBoxLayout(plots_area_);
    column->setContentsMargins(0, 6, 0, 4);
    column->setSpacing(6);
    const std::array<PlotKind, 3> kinds{PlotKind::Ultrasonic, PlotKind::Infrared, PlotKind::Ground};
    for (std::size_t i = 0; i < plots_.size(); ++i) {
        plots_[i] = new TrendPlot(kinds[i], plots_area_);
        column->addWidget(plots_[i], 1);
        connect(plots_[i], &TrendPlot::hovered, this, &TrendsWindow::hover_column);
        connect(plots_[i], &TrendPlot::cursor_moved, this, &TrendsWindow::move_cursor);
    }
    plots_[0]->setObjectName(QStringLiteral("ultrasonic_plot"));
    plots_[1]->setObjectName(QStringLiteral("infrared_plot"));
    plots_[2]->setObjectName(QStringLiteral("ground_plot"));
    plots_[0]->set_marker_labels(true);
    plots_[2]->set_time_labels(true);
    // The plots share their width, so one of them speaks for all.
    connect(plots_[0], &TrendPlot::plot_width_changed, this, &TrendsWindow::view_changed);
    setCentralWidget(plots_area_);

    readout_ = new ElidedLabel(this);
    readout_->setObjectName(QStringLiteral("readout"));
    message_ = new ElidedLabel(this);
    message_->setObjectName(QStringLiteral("message"));
    statusBar()->addWidget(readout_, 3);
    statusBar()->addPermanentWidget(message_, 2);

    redraw_timer_.setSingleShot(true);
    connect(&redraw_timer_, &QTimer::timeout, this, &TrendsWindow::wake);

    build_actions();
    resize(900, 640);
    markers_seen_ = history_.markers().end_index();
    update_readout();
}

TrendsWindow::~TrendsWindow() = default;

void TrendsWindow::set_clock(Clock clock) { clock_ = std::move(clock); }

ViewGrid TrendsWindow::grid() const {
    return ViewGrid(span_s_ * kNsPerSecond, std::max(plots_[0]->plot_width(), 1),
                    span_s_ > kLongestFramesSpan ? TimeBlocks::kBlockNs : 1);
}

void TrendsWindow::frame_added() {
    if (history_.markers().end_index() != markers_seen_) marker_added();
    // A redraw as soon as the pace allows is already on its way.
    if (gate_.paused() || history_.empty() || soon_) return;
    const ViewGrid g = grid();
    if (columns_.empty() || !(g == columns_.grid())) {
        gate_.changed(clock_());
        soon_ = true;
    } else if (g.end_after(history_.newest_ns()) != columns_.end_ns()) {
        gate_.changed(clock_(), RedrawGate::kMoveGapNs);
        soon_ = true;
    } else if (!gate_.pending() && changes_newest_column(history_, columns_, history_.end_index() - 1)) {
        // Only the newest pixel column changed: shown when the view moves on, or after one
        // column's time at the latest, so a long span costs a redraw or two a second; never
        // sooner than the view's own moving on would be.
        gate_.changed(clock_(), std::max(g.column_ns(), RedrawGate::kMoveGapNs));
    } else {
        return;
    }
    schedule();
}

void TrendsWindow::marker_added() {
    markers_seen_ = history_.markers().end_index();
    gate_.changed(clock_());
    soon_ = true;
    schedule();
}

void TrendsWindow::schedule() {
    const auto due = gate_.due_ns();
    if (!due) {
        redraw_timer_.stop();
        return;
    }
    const std::int64_t wait_ns = std::max<std::int64_t>(0, *due - clock_());
    const int wait_ms = static_cast<int>((wait_ns + 999'999) / 1'000'000);
    if (!redraw_timer_.isActive() || redraw_timer_.remainingTime() > wait_ms) redraw_timer_.start(wait_ms);
}

void TrendsWindow::wake() {
    const auto due = gate_.due_ns();
    if (!due) return;
    if (*due <= clock_()) {
        redraw_now();
    } else {
        schedule();
    }
}

void TrendsWindow::view_changed() {
    gate_.changed(clock_());
    // A change the user asked for is shown even while paused, at the paused moment.
    if (gate_.paused() && isVisible()) {
        redraw_now();
    } else {
        schedule();
    }
}

void TrendsWindow::redraw_now() {
    redraw_timer_.stop();
    const ViewGrid g = grid();
    // A paused view keeps its end, on the grid of the span in view.
    const std::int64_t end = gate_.paused() ? g.column_start(paused_end_ns_) : g.end_after(history_.newest_ns());
    if (columns_.empty() || !(g == columns_.grid()) || end < columns_.end_ns()) {
        reduce_columns(history_, g, end, columns_);
    } else {
        advance_columns(history_, end, columns_);
    }
    for (TrendPlot* plot : plots_) plot->show_view(&columns_, &history_);
    gate_.drawn(clock_());
    soon_ = false;
    ++redraws_;
    update_readout();
}

void TrendsWindow::set_span_seconds(int seconds) {
    if (std::find(kSpansSeconds.begin(), kSpansSeconds.end(), seconds) == kSpansSeconds.end()) return;
    for (std::size_t i = 0; i < kSpansSeconds.size(); ++i) span_actions_[i]->setChecked(kSpansSeconds[i] == seconds);
    if (seconds == span_s_) return;
    span_s_ = seconds;
    view_changed();
}

void TrendsWindow::set_paused(bool paused) {
    pause_action_->setChecked(paused);
    if (paused == gate_.paused()) return;
    setWindowTitle(paused ? tr("Trends (paused)") : tr("Trends"));
    if (paused) {
        paused_end_ns_ = columns_.empty() ? grid().end_after(history_.newest_ns()) : columns_.end_ns();
        gate_.set_paused(true);
        redraw_timer_.stop();
    } else {
        gate_.set_paused(false);
        gate_.changed(clock_());
        schedule();
    }
}

void TrendsWindow::set_fixed_range(bool fixed) {
    fixed_action_->setChecked(fixed);
    fixed_range_ = fixed;
    for (TrendPlot* plot : plots_) plot->set_fixed_range(fixed);
}

void TrendsWindow::hover_column(int column) {
    hover_ = column;
    update_readout();
}

void TrendsWindow::move_cursor(CursorMove move) {
    hover_ = -1;
    if (columns_.empty()) redraw_now();
    cursor_ = sensor::move_cursor(history_, columns_, cursor_, move);
    update_readout();
}

int TrendsWindow::readout_column() const {
    if (hover_ >= 0) return hover_ < columns_.width() ? hover_ : -1;
    if (!cursor_ || columns_.empty()) return -1;
    const std::int64_t c = columns_.grid().column_of(cursor_->time_ns, columns_.end_ns());
    return c >= 0 && c < columns_.width() ? static_cast<int>(c) : -1;
}

QString TrendsWindow::readout() const {
    const int column = readout_column();
    if (column < 0) return tr("Point at a plot, or use the arrow keys on one, to read the values there.");
    const bool gone = columns_.column_start_ns(column) < history_.held_from_ns();
    if (hover_ < 0 && cursor_->frame && *cursor_->frame >= history_.begin_index()) {
        return frame_readout(history_, *cursor_->frame, QLocale());
    }
    if (gone && columns_.frames(column).count > 0) return column_readout(history_, columns_, column, QLocale());
    const std::int64_t begin = columns_.column_start_ns(column);
    const std::int64_t middle = begin + columns_.grid().column_ns() / 2;
    if (!history_.empty()) {
        const std::uint64_t index = history_.nearest_index(middle);
        const std::int64_t t = history_.time_at(index);
        // The markers named are those whose line is in the column pointed at.
        if (t >= columns_.begin_ns() && t < columns_.end_ns()) {
            return frame_readout(history_, index, QLocale(), begin, begin + columns_.grid().column_ns());
        }
    }
    return tr("%1   no frame here").arg(run_time_text(static_cast<double>(middle - history_.origin_ns()) / 1e9, 2));
}

void TrendsWindow::update_readout() {
    const int column = readout_column();
    for (TrendPlot* plot : plots_) plot->set_cursor_column(column);
    const QString text = readout();
    if (text == readout_->full_text()) return;
    readout_->set_full_text(text);
    // What the readout says is what a screen reader says of the plot.
    for (TrendPlot* plot : plots_) plot->setAccessibleDescription(text);
}

void TrendsWindow::show_message(const QString& text) {
    message_->set_full_text(text);
    emit message(text);
}

TrendsWindow::Place TrendsWindow::place() const { return {saveGeometry(), span_s_}; }

void TrendsWindow::restore_place(const Place& place) {
    if (!place.geometry.isEmpty()) restoreGeometry(place.geometry);
    const bool offered = std::find(kSpansSeconds.begin(), kSpansSeconds.end(), place.span_s) != kSpansSeconds.end();
    set_span_seconds(offered ? place.span_s : 60);
}

void TrendsWindow::shown_changed() {
    gate_.set_shown(isVisible() && !isMinimized());
    if (gate_.shown()) {
        schedule();
    } else {
        redraw_timer_.stop();
    }
}

void TrendsWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    gate_.changed(clock_());
    shown_changed();
}

void TrendsWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    gate_.set_shown(false);
    redraw_timer_.stop();
}

void TrendsWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) shown_changed();
}

void TrendsWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    emit closed();
}

}  // namespace sensor
