// The Trends window: the three plots stacked on one time axis over the history, with spans from
// 10 s to 8 h, pause, fixed or fitted y ranges, a readout of the frame under the pointer or the
// keyboard's cursor, markers, saving the plots as PNG and exporting the frames in view as CSV.
// Its redraw pace is the pure RedrawGate's, told the time; a timer only wakes it.
#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "trends/column_reduction.h"
#include "trends/history.h"
#include "trends/readout_cursor.h"
#include "trends/redraw_gate.h"
#include "trends/view_grid.h"

class QAction;

namespace sensor {

class ElidedLabel;
class TrendPlot;

class TrendsWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr std::array<int, 5> kSpansSeconds{10, 60, 600, 3600, 8 * 3600};
    // Nanoseconds on a steady clock: the pace of the redraws.
    using Clock = std::function<std::int64_t()>;

    // Where the window was and what span it showed, for its owner to keep between starts.
    struct Place {
        QByteArray geometry;  // QWidget::saveGeometry; empty: the default size
        int span_s = 60;
    };

    // Keeps a reference to `history`, which must outlive the window.
    explicit TrendsWindow(const History& history, QWidget* parent = nullptr);
    ~TrendsWindow() override;

    // The clock the redraws are paced by; the steady clock unless set.
    void set_clock(Clock clock);

    // Call after each frame added to the history. O(1); a redraw is due only when the frame moves
    // the picture on by a pixel column or changes how its newest column looks.
    void frame_added();
    // Call after a marker is added to the history, so it is drawn without waiting for a frame.
    void marker_added();

    void set_span_seconds(int seconds);
    int span_seconds() const { return span_s_; }
    void set_paused(bool paused);
    bool paused() const { return gate_.paused(); }
    void set_fixed_range(bool fixed);
    bool fixed_range() const { return fixed_range_; }

    // What the readout says: of the frame under the pointer or the keyboard's cursor.
    QString readout() const;
    // As the pointer does: a pixel column of the plots, or -1 when it leaves them.
    void hover_column(int column);
    // As the arrow keys on a plot do.
    void move_cursor(CursorMove move);

    // Writes the three plots as a PNG, or the frames in view as CSV. Returns an empty string, or
    // one sentence saying why not, which the window shows and passes on through message().
    QString save_plot_to(const QString& path);
    QString export_to(const QString& path);
    QImage plot_image();
    // The time range in view.
    std::int64_t view_begin_ns() const { return columns_.begin_ns(); }
    std::int64_t view_end_ns() const { return columns_.end_ns(); }

    int redraw_count() const { return redraws_; }
    // When a redraw is due by the clock; none while nothing is to be drawn.
    std::optional<std::int64_t> redraw_due_ns() const { return gate_.due_ns(); }
    bool redraw_pending() const { return gate_.due_ns().has_value(); }
    // Redraws if one is due by the clock, as the timer does when it fires.
    void wake();
    // Reduces the history for the current view and repaints the plots now.
    void redraw_now();
    Place place() const;
    // A span it does not offer falls back to 1 min.
    void restore_place(const Place& place);

signals:
    // A sentence for the owner to say in its status line and on standard error, as this window
    // shows it in its own line.
    void message(const QString& text);
    // Ctrl+M (false) or Ctrl+Shift+M (true): a marker at the newest frame; with ask_label the
    // operator is asked for its label first.
    void marker_requested(bool ask_label);
    // The operator closed the window (not its owner hiding it with the panel).
    void closed();

public slots:
    void save_plot();
    void export_visible_range();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;  // minimised: nothing is drawn
    void closeEvent(QCloseEvent* event) override;

private:
    void build_actions();
    void view_changed();
    void schedule();
    void shown_changed();
    ViewGrid grid() const;
    void show_message(const QString& text);
    void update_readout();
    int readout_column() const;

    const History& history_;
    Clock clock_;
    std::array<TrendPlot*, 3> plots_{};
    QWidget* plots_area_ = nullptr;
    ElidedLabel* readout_ = nullptr;
    ElidedLabel* message_ = nullptr;
    std::array<QAction*, kSpansSeconds.size()> span_actions_{};
    QAction* pause_action_ = nullptr;
    QAction* fixed_action_ = nullptr;

    ReducedColumns columns_;
    RedrawGate gate_;
    QTimer redraw_timer_;
    int span_s_ = 60;
    bool fixed_range_ = false;
    std::int64_t paused_end_ns_ = 0;
    std::uint64_t markers_seen_ = 0;
    int hover_ = -1;
    std::optional<ReadoutCursor> cursor_;
    int redraws_ = 0;
    bool soon_ = false;  // a change waits for the soonest redraw the pace allows
};

}  // namespace sensor
