// The Trends window's menus and tool bar, and what its file actions and marker keys do.
#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QMenuBar>
#include <QStandardPaths>
#include <QToolBar>

#include <chrono>

#include "trends/window/png_file.h"
#include "trends/window/range_file.h"
#include "trends/window/save_path.h"
#include "trends/window/trend_plot.h"
#include "trends/window/trends_window.h"

namespace sensor {

namespace {

QString documents() { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }

}  // namespace

void TrendsWindow::build_actions() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* save = file->addAction(tr("&Save plot…"), this, &TrendsWindow::save_plot);
    save->setShortcut(QKeySequence::Save);
    QAction* export_range = file->addAction(tr("&Export visible range…"), this, &TrendsWindow::export_visible_range);
    export_range->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    export_range->setToolTip(tr("Write the frames in view, with their times and markers, as CSV (Ctrl+E)"));
    file->addSeparator();
    QAction* close_action = file->addAction(tr("&Close"), this, &QWidget::close);
    close_action->setShortcut(QKeySequence::Close);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    auto* spans = new QActionGroup(this);
    for (std::size_t i = 0; i < kSpansSeconds.size(); ++i) {
        const int seconds = kSpansSeconds[i];
        span_actions_[i] = view->addAction(QString::fromStdString(span_text(seconds)), this, [this, seconds] { set_span_seconds(seconds); });
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

    QMenu* markers = menuBar()->addMenu(tr("&Markers"));
    QAction* mark = markers->addAction(tr("Set &marker"), this, [this] { emit marker_requested(false); });
    mark->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    mark->setToolTip(tr("Mark the newest frame (Ctrl+M)"));
    QAction* mark_named = markers->addAction(tr("Set marker with &label…"), this, [this] { emit marker_requested(true); });
    mark_named->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));

    QToolBar* bar = addToolBar(tr("Trends"));
    bar->setObjectName(QStringLiteral("trends_toolbar"));
    bar->setMovable(false);
    for (QAction* a : span_actions_) bar->addAction(a);
    bar->addSeparator();
    bar->addAction(fixed_action_);
    bar->addAction(pause_action_);
    bar->addSeparator();
    bar->addAction(mark);
    bar->addAction(save);
    // Space belongs to the pause action, not to whichever tool button has the focus.
    for (QAction* a : bar->actions()) {
        if (QWidget* button = bar->widgetForAction(a)) button->setFocusPolicy(Qt::NoFocus);
    }
}

QImage TrendsWindow::plot_image() {
    if (gate_.pending() && !gate_.paused()) redraw_now();
    // The cursor line belongs to the screen, not to the saved picture.
    for (TrendPlot* plot : plots_) plot->set_cursor_column(-1);
    QImage image = plots_area_->grab().toImage();
    update_readout();
    return image;
}

void TrendsWindow::save_plot() {
    const QString path = ask_save_path(this, tr("Save plot"),
                                       QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + QStringLiteral("/trends.png"),
                                       tr("PNG images (*.png)"), QStringLiteral("png"));
    if (!path.isEmpty()) save_plot_to(path);
}

QString TrendsWindow::save_plot_to(const QString& path) {
    const QString sentence = save_png(plot_image(), path);
    show_message(sentence.isEmpty() ? tr("Saved the plot to %1.").arg(path) : sentence);
    return sentence;
}

void TrendsWindow::export_visible_range() {
    const QString path = ask_save_path(this, tr("Export visible range"), documents() + QStringLiteral("/trends.csv"),
                                       tr("CSV files (*.csv)"), QStringLiteral("csv"));
    if (!path.isEmpty()) export_to(path);
}

QString TrendsWindow::export_to(const QString& path) {
    if (columns_.empty() || (gate_.pending() && !gate_.paused())) redraw_now();
    // The frames are stamped on the steady clock; the wall clock now says what that was in UTC.
    using namespace std::chrono;
    ExportOptions options;
    options.utc_offset_ns = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() -
                            duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    const QString sentence = save_range_csv(history_, view_begin_ns(), view_end_ns(), options, path);
    show_message(sentence.isEmpty() ? tr("Exported the frames in view to %1.").arg(path) : sentence);
    return sentence;
}

}  // namespace sensor
