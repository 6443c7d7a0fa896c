// The Trends window: the three plots stacked on one time axis over the history, with the span,
// pause, fixed or fitted y ranges, a hover readout and saving the plots as PNG. It redraws at most
// 30 times a second, only while shown and not paused, and only when the picture would change.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>

#include "trends/column_reduction.h"
#include "trends/history.h"

class QAction;
class QLabel;

namespace sensor {

class TrendPlot;

class TrendsWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinRedrawGapMs = 34;  // so no second holds more than 30 redraws
    static constexpr std::array<int, 3> kSpansSeconds{10, 60, 600};

    // Keeps a reference to `history`, which must outlive the window. Restores its geometry and span
    // from the settings "trends/geometry" and "trends/span".
    explicit TrendsWindow(const History& history, QWidget* parent = nullptr);
    ~TrendsWindow() override;

    // Call after each frame added to the history. O(1); schedules a redraw only when the frame
    // moves the picture on by at least one pixel column.
    void frame_added();

    void set_span_seconds(int seconds);
    int span_seconds() const { return span_s_; }
    void set_paused(bool paused);
    bool paused() const { return paused_; }
    void set_fixed_range(bool fixed);
    bool fixed_range() const { return fixed_range_; }

    // What is under the pointer: the run time and every quantity of the frame shown there.
    QString readout() const;
    // As the pointer does: a pixel column of the plots, or -1 when it leaves them.
    void hover_column(int column);

    // Writes the three plots as a PNG. Returns an empty string, or one sentence saying why not,
    // which the window also shows and writes to standard error.
    QString save_plot_to(const QString& path);
    QImage plot_image();

    int redraw_count() const { return redraws_; }
    bool redraw_pending() const { return redraw_timer_.isActive(); }
    // Reduces the history for the current view and repaints the plots now.
    void redraw_now();
    // Writes geometry, span and open state; also done when the window closes.
    void save_settings() const;

signals:
    // A sentence for the main window's status line, as shown in this window.
    void message(const QString& text);

public slots:
    void save_plot();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;  // minimised: nothing is drawn
    void closeEvent(QCloseEvent* event) override;

private:
    void build_actions();
    void schedule_redraw(int gap_ms = kMinRedrawGapMs);
    void view_changed();
    // The end of the view: the end of the column the newest frame falls in, on a grid of whole
    // columns, so the picture moves on in whole pixels.
    std::int64_t view_end_ns(std::int64_t newest_ns) const;
    // Whether adding the frame to the newest column drawn would change how that column looks.
    bool changes_newest_column(std::uint64_t index) const;
    std::int64_t column_ns() const;
    void show_message(const QString& text);
    void update_readout();

    const History& history_;
    std::array<TrendPlot*, 3> plots_{};
    QWidget* plots_area_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* message_ = nullptr;
    std::array<QAction*, 3> span_actions_{};
    QAction* pause_action_ = nullptr;
    QAction* fixed_action_ = nullptr;

    ReducedColumns columns_;
    QTimer redraw_timer_;
    QElapsedTimer since_redraw_;
    int span_s_ = 60;
    bool paused_ = false;
    bool fixed_range_ = false;
    bool dirty_ = true;
    std::int64_t shown_end_ns_ = 0;
    std::int64_t paused_end_ns_ = 0;
    int hover_ = -1;
    int redraws_ = 0;
    bool was_shown_ = false;
};

}  // namespace sensor
