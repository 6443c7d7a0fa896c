// The Trends window: its controls, settings, the paced redraw and the hover readout.
#include "trends/window/trends_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "trends/window/frame_readout.h"
#include "trends/window/png_file.h"
#include "trends/window/trend_plot.h"

namespace sensor {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

std::int64_t floor_to_multiple(std::int64_t value, std::int64_t step) {
    std::int64_t q = value / step;
    if (value % step != 0 && value < 0) --q;
    return q * step;
}

QString span_name(int seconds) {
    return seconds < 60 ? QStringLiteral("%1 s").arg(seconds) : QStringLiteral("%1 min").arg(seconds / 60);
}

}  // namespace

TrendsWindow::TrendsWindow(const History& history, QWidget* parent) : QMainWindow(parent), history_(history) {
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
    }
    plots_[0]->setObjectName(QStringLiteral("ultrasonic_plot"));
    plots_[1]->setObjectName(QStringLiteral("infrared_plot"));
    plots_[2]->setObjectName(QStringLiteral("ground_plot"));
    plots_[2]->set_time_labels(true);
    // The plots share their width, so one of them speaks for all.
    connect(plots_[0], &TrendPlot::plot_width_changed, this, &TrendsWindow::view_changed);
    setCentralWidget(plots_area_);

    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("readout"));
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("message"));
    statusBar()->addWidget(readout_, 1);
    statusBar()->addPermanentWidget(message_);

    redraw_timer_.setSingleShot(true);
    connect(&redraw_timer_, &QTimer::timeout, this, &TrendsWindow::redraw_now);

    const QSettings settings;
    const int span = settings.value(QStringLiteral("trends/span"), 60).toInt();
    span_s_ = std::find(kSpansSeconds.begin(), kSpansSeconds.end(), span) != kSpansSeconds.end() ? span : 60;
    build_actions();
    resize(900, 640);
    restoreGeometry(settings.value(QStringLiteral("trends/geometry")).toByteArray());
    update_readout();
}

TrendsWindow::~TrendsWindow() {
    if (was_shown_) save_settings();
}

void TrendsWindow::build_actions() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* save = file->addAction(tr("&Save plot…"), this, &TrendsWindow::save_plot);
    save->setShortcut(QKeySequence::Save);
    file->addSeparator();
    QAction* close_action = file->addAction(tr("&Close"), this, &QWidget::close);
    close_action->setShortcut(QKeySequence::Close);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    auto* spans = new QActionGroup(this);
    for (std::size_t i = 0; i < kSpansSeconds.size(); ++i) {
        const int seconds = kSpansSeconds[i];
        span_actions_[i] = view->addAction(span_name(seconds), this, [this, seconds] { set_span_seconds(seconds); });
        span_actions_[i]->setCheckable(true);
        span_actions_[i]->setChecked(seconds == span_s_);
        span_actions_[i]->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + static_cast<int>(i))));
        spans->addAction(span_actions_[i]);
    }
    view->addSeparator();
    fixed_action_ = view->addAction(tr("&Fixed y range"), this, &TrendsWindow::set_fixed_range);
    fixed_action_->setCheckable(true);
    fixed_action_->setShortcut(QKeySequence(Qt::Key_F));
    fixed_action_->setToolTip(tr("The full range of each quantity instead of the range of the data in view (F)"));
    pause_action_ = view->addAction(tr("&Pause"), this, &TrendsWindow::set_paused);
    pause_action_->setCheckable(true);
    pause_action_->setShortcut(QKeySequence(Qt::Key_Space));
    pause_action_->setToolTip(tr("Hold the view; frames keep being recorded (Space)"));

    QToolBar* bar = addToolBar(tr("Trends"));
    bar->setObjectName(QStringLiteral("trends_toolbar"));
    bar->setMovable(false);
    for (QAction* a : span_actions_) bar->addAction(a);
    bar->addSeparator();
    bar->addAction(fixed_action_);
    bar->addAction(pause_action_);
    bar->addSeparator();
    bar->addAction(save);
    // Space belongs to the pause action, not to whichever tool button has the focus.
    for (QAction* a : bar->actions()) {
        if (QWidget* button = bar->widgetForAction(a)) button->setFocusPolicy(Qt::NoFocus);
    }
}

void TrendsWindow::frame_added() {
    if (paused_ || history_.empty()) return;
    if (view_end_ns(history_.newest_ns()) != shown_end_ns_) {
        dirty_ = true;
        schedule_redraw();
    } else if (!dirty_ && changes_newest_column(history_.end_index() - 1)) {
        // Only the newest pixel column changed: shown when the view moves on, or after one
        // column's time at the latest, so a ten-minute view costs a redraw or two a second.
        dirty_ = true;
        schedule_redraw(static_cast<int>(std::max<std::int64_t>(kMinRedrawGapMs, column_ns() / 1'000'000)));
    }
}

bool TrendsWindow::changes_newest_column(std::uint64_t index) const {
    if (columns_.width <= 0) return false;
    const auto last = static_cast<std::size_t>(columns_.width - 1);
    FrameSummary with;
    for (std::size_t c = 0; c < kChannelCount; ++c) with.channels[c] = columns_.channels[c][last].summary;
    for (std::size_t g = 0; g < kGroundSensorCount; ++g) with.verdicts[g] = columns_.verdicts[g][last];
    const FrameSummary before = with;
    history_.add_to(index, with);
    // The column is drawn from its extremes, marks and verdicts; its first and last values only
    // matter for joining a neighbour, and a new neighbour moves the view anyway.
    for (std::size_t c = 0; c < kChannelCount; ++c) {
        const ChannelSummary& a = before.channels[c];
        const ChannelSummary& b = with.channels[c];
        if ((a.values == 0) != (b.values == 0) || a.min != b.min || a.max != b.max || a.err != b.err || a.ok != b.ok) {
            return true;
        }
    }
    for (std::size_t g = 0; g < kGroundSensorCount; ++g) {
        if (before.verdicts[g].black != with.verdicts[g].black || before.verdicts[g].white != with.verdicts[g].white) {
            return true;
        }
    }
    return false;
}

std::int64_t TrendsWindow::column_ns() const {
    const std::int64_t width = std::max(plots_[0]->plot_width(), 1);
    return std::max<std::int64_t>(span_s_ * kNsPerSecond / width, 1);
}

std::int64_t TrendsWindow::view_end_ns(std::int64_t newest_ns) const {
    return floor_to_multiple(newest_ns, column_ns()) + column_ns();
}

void TrendsWindow::schedule_redraw(int gap_ms) {
    if (!isVisible() || isMinimized() || paused_ || !dirty_) return;
    const qint64 since = since_redraw_.isValid() ? since_redraw_.elapsed() : gap_ms;
    const int wait = static_cast<int>(std::max<qint64>(0, gap_ms - since));
    if (!redraw_timer_.isActive() || redraw_timer_.remainingTime() > wait) redraw_timer_.start(wait);
}

void TrendsWindow::view_changed() {
    dirty_ = true;
    // A change the user asked for is shown even while paused, at the paused moment.
    if (paused_ && isVisible()) {
        redraw_now();
    } else {
        schedule_redraw();
    }
}

void TrendsWindow::redraw_now() {
    redraw_timer_.stop();
    const int width = std::max(plots_[0]->plot_width(), 0);
    // A paused view keeps its end, which is already a column boundary.
    const std::int64_t end = paused_ ? floor_to_multiple(paused_end_ns_, column_ns()) : view_end_ns(history_.newest_ns());
    reduce_columns(history_, end - column_ns() * width, end, width, columns_);
    for (TrendPlot* plot : plots_) plot->set_columns(&columns_, history_.origin_ns());
    shown_end_ns_ = end;
    dirty_ = false;
    ++redraws_;
    since_redraw_.restart();
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
    if (paused == paused_) return;
    paused_ = paused;
    setWindowTitle(paused ? tr("Trends (paused)") : tr("Trends"));
    if (paused) {
        redraw_timer_.stop();
        paused_end_ns_ = redraws_ > 0 ? shown_end_ns_ : view_end_ns(history_.newest_ns());
    } else {
        dirty_ = true;
        schedule_redraw();
    }
}

void TrendsWindow::set_fixed_range(bool fixed) {
    fixed_action_->setChecked(fixed);
    fixed_range_ = fixed;
    for (TrendPlot* plot : plots_) plot->set_fixed_range(fixed);
}

void TrendsWindow::hover_column(int column) {
    hover_ = column;
    for (TrendPlot* plot : plots_) plot->set_hover_column(column);
    update_readout();
}

QString TrendsWindow::readout() const {
    if (hover_ < 0 || hover_ >= columns_.width) return tr("Point at a plot to read the values there.");
    const std::int64_t begin = column_start_ns(columns_, hover_);
    const std::int64_t middle = begin + (column_start_ns(columns_, hover_ + 1) - begin) / 2;
    if (!history_.empty()) {
        const std::uint64_t index = history_.nearest_index(middle);
        const std::int64_t t = history_.time_at(index);
        if (t >= columns_.begin_ns && t < columns_.end_ns) return frame_readout(history_, index, QLocale());
    }
    return tr("%1   no frame here").arg(run_time_text(static_cast<double>(middle - history_.origin_ns()) / 1e9, 2));
}

void TrendsWindow::update_readout() { readout_->setText(readout()); }

QImage TrendsWindow::plot_image() {
    if (dirty_ && !paused_) redraw_now();
    // The cursor line belongs to the screen, not to the saved picture.
    const int hover = hover_;
    for (TrendPlot* plot : plots_) plot->set_hover_column(-1);
    QImage image = plots_area_->grab().toImage();
    for (TrendPlot* plot : plots_) plot->set_hover_column(hover);
    return image;
}

void TrendsWindow::save_plot() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    QString path = QFileDialog::getSaveFileName(this, tr("Save plot"), folder + QStringLiteral("/trends.png"),
                                                tr("PNG images (*.png)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    save_plot_to(path);
}

QString TrendsWindow::save_plot_to(const QString& path) {
    const QString sentence = save_png(plot_image(), path);
    if (sentence.isEmpty()) {
        show_message(tr("Saved the plot to %1.").arg(path));
        return {};
    }
    show_message(sentence);
    std::fprintf(stderr, "%s\n", qPrintable(sentence));
    return sentence;
}

void TrendsWindow::show_message(const QString& text) {
    message_->setText(text);
    emit message(text);
}

void TrendsWindow::save_settings() const {
    QSettings settings;
    settings.setValue(QStringLiteral("trends/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("trends/span"), span_s_);
    settings.setValue(QStringLiteral("trends/open"), isVisible());
}

void TrendsWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    was_shown_ = true;
    QSettings().setValue(QStringLiteral("trends/open"), true);
    dirty_ = true;
    schedule_redraw();
}

void TrendsWindow::hideEvent(QHideEvent* event) {
    redraw_timer_.stop();
    QMainWindow::hideEvent(event);
}

void TrendsWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    if (isMinimized()) {
        redraw_timer_.stop();
    } else {
        schedule_redraw();
    }
}

void TrendsWindow::closeEvent(QCloseEvent* event) {
    save_settings();
    QSettings().setValue(QStringLiteral("trends/open"), false);
    QMainWindow::closeEvent(event);
}

}  // namespace sensor
