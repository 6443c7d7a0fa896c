// The Trends window as the operator meets it, on the offscreen platform: the plots show every
// trace in its colour with marks, bands and markers; a picture that moved on column by column is
// the picture drawn afresh, pixel for pixel, at every span; pausing holds it; the redraws follow
// the window's clock; the readout by pointer and by keys; narrow windows shorten rather than cut;
// saving a PNG and exporting CSV to real folders, to a missing one and to a full disk, each
// failure said once; the settings it keeps.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QScreen>
#include <QInputDialog>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>


#include <cmath>
#include <functional>
#include <memory>

#include "io/simulated_connection.h"
#include "session/panel_session.h"
#include "tests/support/modal_answer.h"
#include "tests/support/stderr_capture.h"
#include "tests/support/wait.h"
#include "trends/window/column_paint.h"
#include "trends/window/elided_label.h"
#include "trends/window/save_path.h"
#include "trends/window/trend_plot.h"
#include "trends/window/trends_window.h"

using namespace sensor;

// Readable failure messages for QString comparisons.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kSecond = 1000 * kMs;
constexpr std::int64_t kStart = 5'000 * kMs;  // steady-clock times start far from zero

FrameResult frame(double ultrasonic, InfraredDistance infrared, int ground1, int ground2) {
    FrameResult f;
    f.ultrasonic_m = {ultrasonic, ultrasonic + 1, ultrasonic + 2};
    f.infrared_cm = {infrared, infrared, infrared};
    f.ground = {ground1, ground2};
    f.verdict = {ground1 > 150 ? Verdict::White : Verdict::Black, ground2 > 150 ? Verdict::White : Verdict::Black};
    return f;
}

// A frame that changes a little every time, with marks and both verdicts now and then.
FrameResult varied(std::int64_t i) {
    const double t = static_cast<double>(i);
    const InfraredDistance ir = i % 97 < 3    ? InfraredDistance{InfraredMark::Err, 0}
                                : i % 89 < 2 ? InfraredDistance{InfraredMark::Ok, 0}
                                             : InfraredDistance{InfraredMark::Number, 30 + 10 * std::sin(t / 20)};
    return frame(1 + 0.5 * std::sin(t / 30), ir, (i / 50) % 2 == 0 ? 100 : 600, 400 + static_cast<int>(i % 7));
}

// Settings go to a folder of the test's own, never to the user's.
class TrendsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(settings_dir_.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("sensor-panel-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("trends-window-test"));
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_dir_.path());
        QSettings().clear();
        QLocale::setDefault(QLocale::c());
    }

    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    std::unique_ptr<TrendsWindow> shown_window(int width = 1000, int height = 700) {
        auto w = std::make_unique<TrendsWindow>(history_);
        w->set_clock([this] { return now_ns_; });
        w->resize(width, height);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }

    // Each frame `step_ns` after the one before.
    void feed(TrendsWindow& w, int count, std::int64_t step_ns, const std::function<FrameResult(int)>& make) {
        for (int i = 0; i < count; ++i) {
            next_ns_ += step_ns;
            FrameResult f = make(i);
            f.index = history_.end_index() + 1;
            history_.add(next_ns_, f);
            w.frame_added();
        }
    }

    QTemporaryDir settings_dir_;
    History history_;
    std::int64_t next_ns_ = kStart;
    std::int64_t now_ns_ = 0;  // the windows' clock
};

// Pixels of exactly this colour in rows [top, bottom) right of the y axis labels.
int count_colour(const QImage& image, const QColor& colour, int top, int bottom) {
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
        for (int x = TrendPlot::kLeftMargin; x < image.width(); ++x) n += image.pixelColor(x, y) == colour ? 1 : 0;
    }
    return n;
}

TrendPlot* plot(TrendsWindow& w, const char* name) { return w.findChild<TrendPlot*>(QString::fromLatin1(name)); }

// What the screen shows of the window's plots: its backing store, after every pending paint.
QImage on_screen(TrendsWindow& w) {
    // The focus is the keyboard's, not the picture's.
    if (QWidget* focused = w.focusWidget()) focused->clearFocus();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QImage whole = w.screen()->grabWindow(w.winId()).toImage();
    const QWidget* plots = w.findChild<QWidget*>(QStringLiteral("plots"));
    return whole.copy(QRect(plots->mapTo(&w, QPoint(0, 0)), plots->size()));
}

}  // namespace

TEST_F(TrendsWindowTest, PaintsEveryTraceMarkBandAndMarkerInItsColour) {
    auto w = shown_window();
    w->set_span_seconds(10);
    feed(*w, 600, 10 * kMs, [](int i) {
        const InfraredDistance ir = (i >= 100 && i < 130)   ? InfraredDistance{InfraredMark::Err, 0}
                                    : (i >= 300 && i < 330) ? InfraredDistance{InfraredMark::Ok, 0}
                                                            : InfraredDistance{InfraredMark::Number, 30 + 10 * std::sin(i / 20.0)};
        return frame(1 + 0.5 * std::sin(i / 30.0), ir, (i / 50) % 2 == 0 ? 100 : 600, 400);
    });
    // As the session sets one: at the newest frame, then the frames go on.
    history_.add_marker(next_ns_ + kMs, {history_.end_index(), "gate"});
    w->marker_added();
    feed(*w, 200, 10 * kMs, [](int) { return frame(1, {InfraredMark::Number, 20}, 600, 400); });
    w->redraw_now();

    struct Case {
        const char* plot;
        std::vector<Channel> channels;
    };
    const Case cases[] = {
        {"ultrasonic_plot", {Channel::Ultrasonic1, Channel::Ultrasonic2, Channel::Ultrasonic3}},
        {"infrared_plot", {Channel::Infrared1, Channel::Infrared2, Channel::Infrared3}},
        {"ground_plot", {Channel::Ground1, Channel::Ground2}},
    };
    const QColor marker = marker_colour();
    for (const Case& c : cases) {
        TrendPlot* p = plot(*w, c.plot);
        ASSERT_NE(p, nullptr) << c.plot;
        const QImage image = p->grab().toImage();
        // Below the title and legend row, so the legend's own strokes do not count.
        for (const Channel ch : c.channels) {
            EXPECT_GT(count_colour(image, TrendPlot::colour(ch), 32, image.height()), 50)
                << c.plot << " channel " << channel_index(ch);
        }
        // The marker is a line across every plot's area.
        const QRect area = p->picture().area(p->size());
        EXPECT_GE(count_colour(image, marker, area.top(), area.bottom() + 1), area.height() - 2) << c.plot << ": the marker";
    }

    // "OK" ticks in the strip at the top edge, "ERR" ticks in the strip at the bottom edge.
    const QImage ir = plot(*w, "infrared_plot")->grab().toImage();
    for (const Channel ch : cases[1].channels) {
        EXPECT_GT(count_colour(ir, TrendPlot::colour(ch), 18, 29), 20) << "OK marks, channel " << channel_index(ch);
        EXPECT_GT(count_colour(ir, TrendPlot::colour(ch), ir.height() - 11, ir.height()), 20)
            << "ERR marks, channel " << channel_index(ch);
    }

    // Ground 1 changes between black and white every half second; ground 2 stays white.
    const QImage ground = plot(*w, "ground_plot")->grab().toImage();
    const int band2 = ground.height() - 16 - 1 - 5;  // over the time labels and the band's edge, 10 px high, 4 apart
    const int band1 = band2 - 14;
    EXPECT_GT(count_colour(ground, Qt::black, band1, band1 + 1), 100);
    EXPECT_GT(count_colour(ground, Qt::white, band1, band1 + 1), 100);
    EXPECT_EQ(count_colour(ground, Qt::black, band2, band2 + 1), 0);
    EXPECT_GT(count_colour(ground, Qt::white, band2, band2 + 1), 200);

    // The saved picture holds the marker and its label; the readout names it at its frame.
    EXPECT_GT(count_colour(w->plot_image(), marker, 0, 200), 100);
    w->move_cursor(CursorMove::Last);
    for (int i = 0; i < 300 && !w->readout().contains(QStringLiteral("Marker: gate")); ++i) w->move_cursor(CursorMove::Previous);
    EXPECT_TRUE(w->readout().contains(QStringLiteral("Marker: gate"))) << w->readout().toStdString();
}

TEST_F(TrendsWindowTest, APictureMovedOnColumnByColumnIsThePictureDrawnAfreshAtEverySpan) {
    // Each row feeds a stream in steps at one span; after each step the window that moved on
    // shows on screen what a new window drawing everything from the same history shows.
    struct Case {
        const char* name;
        int span_s;
        std::int64_t period_ns;  // between frames
        int history_frames;      // before the window opens
        int steps;
        int frames_per_step;
        int pause_at;     // a pause longer than a second before this step's frames
        int marker_at;    // a marker after this step
        bool fixed;
    };
    const Case cases[] = {
        {"10 s at the line rate, fitted", 10, 8'854'167, 900, 24, 4, 9, 14, false},
        {"10 s, fixed range", 10, 8'854'167, 900, 12, 7, 5, 3, true},
        {"1 min", 60, 30 * kMs, 1500, 12, 25, 6, 8, false},
        {"10 min", 600, 300 * kMs, 2100, 10, 9, 4, 6, false},
        {"1 h, from time blocks", 3600, 500 * kMs, 7300, 10, 13, 3, 5, false},
        {"8 h, from time blocks", 8 * 3600, 900 * kMs, 32'100, 8, 70, 2, 4, false},
    };
    for (const Case& c : cases) {
        History history(2000);
        std::int64_t t = kStart;
        std::int64_t i = 0;
        auto add = [&](int count) {
            for (int k = 0; k < count; ++k, ++i) {
                t += c.period_ns;
                history.add(t, varied(i));
            }
        };
        add(c.history_frames);
        TrendsWindow moving(history);
        moving.resize(760, 620);
        moving.set_span_seconds(c.span_s);
        moving.set_fixed_range(c.fixed);
        moving.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&moving));
        moving.redraw_now();
        for (int step = 0; step < c.steps; ++step) {
            if (step == c.pause_at) t += 1500 * kMs;
            add(c.frames_per_step);
            if (step == c.marker_at) history.add_marker(t, {static_cast<std::uint64_t>(i), "step " + std::to_string(step)});
            moving.redraw_now();
            if (step % 3 != 2 && step + 1 != c.steps) continue;
            TrendsWindow fresh(history);
            fresh.resize(moving.size());
            fresh.set_span_seconds(c.span_s);
            fresh.set_fixed_range(c.fixed);
            fresh.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
            fresh.redraw_now();
            const QImage got = on_screen(moving), want = on_screen(fresh);
            ASSERT_EQ(got.size(), want.size()) << c.name;
            int differ = 0;
            QPoint first;
            for (int y = 0; y < got.height(); ++y) {
                for (int x = 0; x < got.width(); ++x) {
                    if (got.pixel(x, y) == want.pixel(x, y)) continue;
                    if (differ++ == 0) first = {x, y};
                }
            }
            EXPECT_EQ(differ, 0) << c.name << ", step " << step << ": first at " << first.x() << "," << first.y();
        }
    }
}

TEST_F(TrendsWindowTest, PauseHoldsThePictureWhileFramesKeepBeingRecorded) {
    auto w = shown_window();
    w->set_span_seconds(10);
    auto rising = [&](int i) { return frame(0.01 * i, {InfraredMark::Number, 20}, 200 + i, 300); };
    feed(*w, 300, 10 * kMs, rising);
    w->redraw_now();

    QTest::keyClick(w.get(), Qt::Key_Space);
    ASSERT_TRUE(w->paused()) << "Space pauses";
    const QImage held = w->plot_image();
    const int redraws = w->redraw_count();
    const std::uint64_t frames = history_.end_index();
    feed(*w, 300, 10 * kMs, [&](int i) { return rising(300 + i); });
    now_ns_ += 10 * kSecond;
    w->wake();
    EXPECT_FALSE(w->redraw_pending());
    EXPECT_EQ(history_.end_index(), frames + 300) << "frames keep being recorded";
    EXPECT_EQ(w->redraw_count(), redraws);
    EXPECT_EQ(w->plot_image(), held) << "the view stays while paused";

    // The tool bar's button resumes, and the picture catches up with the frames.
    auto* bar = w->findChild<QToolBar*>(QStringLiteral("trends_toolbar"));
    ASSERT_NE(bar, nullptr);
    QAbstractButton* pause_button = nullptr;
    for (QAction* a : bar->actions()) {
        if (a->shortcut() == QKeySequence(Qt::Key_Space)) pause_button = qobject_cast<QAbstractButton*>(bar->widgetForAction(a));
    }
    ASSERT_NE(pause_button, nullptr);
    pause_button->click();
    EXPECT_FALSE(w->paused());
    ASSERT_TRUE(w->redraw_pending());
    w->wake();
    EXPECT_GT(w->redraw_count(), redraws);
    EXPECT_NE(w->plot_image(), held);
}

TEST_F(TrendsWindowTest, RedrawsWhenTheClockSaysSoOnlyWhileShown) {
    // The pace itself is the gate's, tested with the core; here the window tells it what happens
    // and its timer's wake-up redraws when due by the window's clock.
    auto w = shown_window();
    w->set_span_seconds(600);
    auto same = [](int) { return frame(1, {InfraredMark::Number, 20}, 200, 300); };
    feed(*w, 1, 0, same);
    now_ns_ += 100 * kMs;
    w->wake();
    const int redraws = w->redraw_count();
    EXPECT_FALSE(w->redraw_pending());

    now_ns_ += 10 * kMs;
    feed(*w, 50, 1 * kMs, same);
    EXPECT_FALSE(w->redraw_pending()) << "the same values in the same column change nothing";
    feed(*w, 1, 1 * kMs, [](int) { return frame(1.5, {InfraredMark::Number, 20}, 200, 300); });
    ASSERT_TRUE(w->redraw_due_ns()) << "a new highest value in the newest column";
    EXPECT_GT(*w->redraw_due_ns(), now_ns_ + 100 * kMs) << "waits up to a column's time";
    w->wake();
    EXPECT_EQ(w->redraw_count(), redraws) << "not due yet";
    now_ns_ = *w->redraw_due_ns();
    w->wake();
    EXPECT_EQ(w->redraw_count(), redraws + 1);

    w->showMinimized();
    now_ns_ += kSecond;
    feed(*w, 20, 2'000 * kMs, same);
    EXPECT_FALSE(w->redraw_pending()) << "nothing is drawn while the window is minimised";
    w->showNormal();
    ASSERT_TRUE(w->redraw_pending()) << "restored, it catches up";
    w->hide();
    feed(*w, 20, 2'000 * kMs, same);
    EXPECT_FALSE(w->redraw_pending()) << "nothing is drawn while the window is hidden";
    w->show();
    EXPECT_TRUE(w->redraw_pending()) << "shown again, it catches up";
}

TEST_F(TrendsWindowTest, ReadoutOfTheFrameUnderThePointerOrTheKeyboardCursor) {
    auto w = shown_window();
    w->set_span_seconds(10);
    // One frame every 100 ms: the first 30 one way, the next 30 another, the last with "OK".
    feed(*w, 60, 100 * kMs, [](int i) {
        return i < 30 ? frame(0.508, {InfraredMark::Number, 12.44}, 512, 90) : frame(2.25, {InfraredMark::Err, 0}, 100, 1000);
    });
    feed(*w, 1, 100 * kMs, [](int) { return frame(2.25, {InfraredMark::Ok, 0}, 100, 1000); });
    w->redraw_now();

    TrendPlot* p = plot(*w, "infrared_plot");
    const int width = p->plot_width();
    // The view ends at the column after the newest frame (at 6.0 s run time) and spans 10 s.
    auto column_at = [&](double run_s) { return width - 1 - static_cast<int>((6.0 - run_s) / 10.0 * width); };
    QTest::mouseMove(p, QPoint(TrendPlot::kLeftMargin + column_at(1.0), p->height() / 2));
    auto* readout = w->findChild<ElidedLabel*>(QStringLiteral("readout"));
    ASSERT_NE(readout, nullptr);
    EXPECT_EQ(readout->full_text(), QStringLiteral("0:01.00   Ultrasonic 0.508 / 1.508 / 2.508 m   Infrared 12.4 / 12.4 / "
                                                   "12.4 cm   Ground 512 white / 90 black"));
    w->hover_column(column_at(5.0));
    EXPECT_EQ(w->readout(),
              QStringLiteral("0:05.00   Ultrasonic 2.250 / 3.250 / 4.250 m   Infrared ERR / ERR / ERR cm   Ground 100 black / 1000 white"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    w->hover_column(column_at(1.0));
    EXPECT_TRUE(w->readout().contains(QStringLiteral("Ultrasonic 0,508 / 1,508 / 2,508 m"))) << "the locale's separator";
    QLocale::setDefault(QLocale::c());
    w->hover_column(-1);
    EXPECT_TRUE(readout->full_text().startsWith(QStringLiteral("Point at a plot"))) << readout->full_text().toStdString();

    // By keyboard: a plot takes the focus; End, Left and Right step frame by frame, and a
    // screen reader reads the plot's description.
    p->setFocus();
    ASSERT_TRUE(p->hasFocus());
    QTest::keyClick(p, Qt::Key_End);
    EXPECT_TRUE(w->readout().startsWith(QStringLiteral("0:06.00")) && w->readout().contains(QStringLiteral("OK / OK / OK")))
        << w->readout().toStdString();
    QTest::keyClick(p, Qt::Key_Left);
    EXPECT_TRUE(w->readout().startsWith(QStringLiteral("0:05.90"))) << w->readout().toStdString();
    QTest::keyClick(p, Qt::Key_Right);
    QTest::keyClick(p, Qt::Key_Right);
    EXPECT_TRUE(w->readout().startsWith(QStringLiteral("0:06.00"))) << "the cursor stays on the newest frame";
    QTest::keyClick(p, Qt::Key_Home);
    EXPECT_TRUE(w->readout().startsWith(QStringLiteral("0:00.00"))) << "Home: the oldest frame in view";
    EXPECT_EQ(p->accessibleDescription(), w->readout());
}

TEST_F(TrendsWindowTest, NarrowWindowsShortenTitlesLegendsAndMessagesWithTheWholeAsTooltip) {
    auto w = shown_window(330, 600);
    feed(*w, 100, 10 * kMs, [](int i) { return frame(0.01 * i, {InfraredMark::Number, 20}, 300, 100); });
    w->redraw_now();
    TrendPlot* ultrasonic = plot(*w, "ultrasonic_plot");
    EXPECT_EQ(ultrasonic->toolTip(), QStringLiteral("Ultrasonic distance (m): Module 1, Module 2, Module 3"));
    // The title row: the title's text and the legend's never share a pixel column.
    const QImage row = ultrasonic->grab().toImage().copy(TrendPlot::kLeftMargin, 0, ultrasonic->plot_width(), 16);
    const QColor background = ultrasonic->palette().window().color();
    int gap = 0, widest = 0;
    for (int x = 0; x < row.width(); ++x) {
        bool ink = false;
        for (int y = 0; y < row.height(); ++y) ink = ink || row.pixelColor(x, y) != background;
        gap = ink ? 0 : gap + 1;
        widest = std::max(widest, gap);
    }
    EXPECT_GE(widest, 8) << "a gap between the title and the legend";
    w->resize(1000, 700);
    QCoreApplication::processEvents();
    w->redraw_now();
    EXPECT_TRUE(ultrasonic->toolTip().isEmpty()) << "wide enough, nothing shortened";

    w->resize(330, 600);
    const QString long_message = w->save_plot_to(settings_dir_.filePath(QStringLiteral("a/folder/that/is/missing/trends.png")));
    auto* message = w->findChild<ElidedLabel*>(QStringLiteral("message"));
    QCoreApplication::processEvents();
    EXPECT_EQ(message->full_text(), long_message);
    EXPECT_NE(message->text(), long_message) << "elided, not cut";
    EXPECT_TRUE(message->text().contains(QChar(0x2026)));
    EXPECT_EQ(message->toolTip(), long_message);
}

TEST_F(TrendsWindowTest, SavesThePlotsAsPngWithTheLastTimeLabelWholeOrSaysWhyNot) {
    auto w = shown_window();
    w->set_span_seconds(3600);
    // An hour of frames, the newest at exactly 1:00:00, where the last tick and its label fall.
    feed(*w, 3600, kSecond, [](int i) { return frame(0.001 * i, {InfraredMark::Number, 20}, 300, 100); });
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("trends.png"));
    EXPECT_EQ(w->save_plot_to(good), QString());
    const QImage saved(good, "PNG");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), w->plot_image().size());
    EXPECT_EQ(w->findChild<ElidedLabel*>(QStringLiteral("message"))->full_text(), QStringLiteral("Saved the plot to %1.").arg(good));
    // "1:00:00" lies whole inside the picture: as wide in ink as the text is.
    const QFontMetrics metrics(w->font());
    const int label = metrics.horizontalAdvance(QStringLiteral("1:00:00"));
    const QRect strip(saved.width() - label - 30, saved.height() - 4 - 16, label + 30, 16);
    int left = saved.width(), right = -1;
    for (int y = strip.top(); y < strip.bottom(); ++y) {
        for (int x = strip.left(); x < saved.width(); ++x) {
            if (qGray(saved.pixel(x, y)) > 128) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    EXPECT_GE(right - left + 1, label - 3) << "the last label's ink spans " << left << " to " << right;
    EXPECT_LT(right, saved.width() - 1);

    struct Case {
        const char* name;
        QString path;
    };
    QFile blocker(dir.filePath(QStringLiteral("a-file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const Case cases[] = {
        {"missing folder", dir.filePath(QStringLiteral("missing/trends.png"))},
        {"a file where a folder should be", dir.filePath(QStringLiteral("a-file/trends.png"))},
        {"a folder in the way", dir.path()},
        {"a full disk", QStringLiteral("/dev/full")},
    };
    for (const Case& c : cases) {
        const QString sentence = w->save_plot_to(c.path);
        EXPECT_TRUE(sentence.startsWith(QStringLiteral("Cannot save the plot to %1: ").arg(c.path))) << c.name << ": " << sentence.toStdString();
        EXPECT_TRUE(sentence.endsWith(QStringLiteral(". Choose a folder that exists and that you may write to.")))
            << c.name << ": " << sentence.toStdString();
        EXPECT_EQ(sentence.count(QStringLiteral(". ")), 1) << c.name << ": one reason, one hint: " << sentence.toStdString();
        EXPECT_EQ(w->findChild<ElidedLabel*>(QStringLiteral("message"))->full_text(), sentence) << c.name;
    }
}

TEST_F(TrendsWindowTest, ANameTypedWithoutItsSuffixIsAskedAboutAsTheFileWritten) {
    QTemporaryDir dir;
    const QString typed = dir.filePath(QStringLiteral("run"));
    const QString written = typed + QStringLiteral(".png");
    QFile existing(written);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    struct Case {
        const char* name;
        const char* answer;
        QString result;
    };
    for (const Case& c : {Case{"kept", "No", QString()}, Case{"replaced", "Yes", written}}) {
        QString question;
        sensor::testing::answer_file_dialog(typed);
        sensor::testing::answer_modal<QMessageBox>([&](QMessageBox* box) {
            question = box->text();
            sensor::testing::click_button(box, QString::fromLatin1(c.answer));
        });
        EXPECT_EQ(ask_save_path(nullptr, QStringLiteral("Save plot"), dir.path(), QStringLiteral("PNG images (*.png)"),
                                QStringLiteral("png")),
                  c.result)
            << c.name;
        EXPECT_EQ(question, QStringLiteral("%1 already exists. Replace it?").arg(written)) << c.name << ": the file written is named";
    }
}

TEST_F(TrendsWindowTest, ExportsTheFramesInViewAsCsvOrSaysWhyNot) {
    auto w = shown_window();
    w->set_span_seconds(10);
    feed(*w, 2000, 10 * kMs, [](int i) { return frame(0.01 * i, {InfraredMark::Number, 20}, 300, 100); });
    w->redraw_now();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("view.csv"));
    EXPECT_EQ(w->export_to(path), QString());
    QFile csv(path);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    const auto in_view = history_.index_at_or_after(w->view_end_ns()) - history_.index_at_or_after(w->view_begin_ns());
    EXPECT_EQ(static_cast<std::uint64_t>(lines.size()), 1 + in_view + 1) << "the header, a row a frame, the last line end";
    EXPECT_TRUE(lines[0].startsWith("t_s,utc,frame,ir1_reading,"));

    const QString sentence = w->export_to(QStringLiteral("/dev/full"));
    EXPECT_EQ(sentence, QStringLiteral("Cannot export the frames to /dev/full: no space left on device. Choose a folder that exists and "
                                       "that you may write to, on a disk with room."));
    EXPECT_EQ(w->findChild<ElidedLabel*>(QStringLiteral("message"))->full_text(), sentence);
}

TEST_F(TrendsWindowTest, GivesItsPlaceAndSpanBackAndFallsBackToAMinute) {
    TrendsWindow::Place place;
    {
        auto w = shown_window(820, 560);
        QTest::keyClick(w.get(), Qt::Key_5, Qt::ControlModifier);
        EXPECT_EQ(w->span_seconds(), 8 * 3600) << "Ctrl+5: eight hours";
        QTest::keyClick(w.get(), Qt::Key_4, Qt::ControlModifier);
        place = w->place();
    }
    EXPECT_EQ(place.span_s, 3600) << "Ctrl+4: an hour";
    TrendsWindow again(history_);
    again.restore_place(place);
    EXPECT_EQ(again.span_seconds(), 3600);
    EXPECT_EQ(again.size(), QSize(820, 560));
    again.restore_place({{}, 7});
    EXPECT_EQ(again.span_seconds(), 60) << "a span it does not offer falls back to 1 min";
}

TEST(TrendAxes, StepsRangesAndRunTime) {
    struct StepCase {
        double span;
        int max_steps;
        double step;
    };
    for (const StepCase& c : {StepCase{10, 5, 2}, {1, 4, 0.5}, {1023, 5, 500}, {0.3, 4, 0.1}, {70, 7, 10}}) {
        EXPECT_DOUBLE_EQ(value_step(c.span, c.max_steps), c.step) << c.span << " in " << c.max_steps;
    }
    // Time ticks at least 70 px apart on a 924 px axis.
    EXPECT_DOUBLE_EQ(time_step(10, 924, 70), 1);
    EXPECT_DOUBLE_EQ(time_step(60, 924, 70), 5);
    EXPECT_DOUBLE_EQ(time_step(600, 924, 70), 60);
    EXPECT_DOUBLE_EQ(time_step(8 * 3600, 924, 70), 3600);

    struct TextCase {
        double seconds;
        int decimals;
        const char* text;
    };
    const TextCase texts[] = {{0, 2, "0:00.00"},      {5.004, 2, "0:05.00"}, {59.996, 2, "1:00.00"},
                              {754.5, 0, "12:35"},   {-3.25, 1, "-0:03.3"}, {-0.001, 2, "0:00.00"},
                              {3599.5, 0, "1:00:00"}, {3600, 0, "1:00:00"}, {8 * 3600 + 65.25, 1, "8:01:05.3"}};
    for (const TextCase& c : texts) EXPECT_EQ(run_time_text(c.seconds, c.decimals), QString::fromUtf8(c.text)) << c.seconds;

    // A flat trace still gets room, on whole steps; the ground plot keeps its threshold in view.
    const ValueRange flat = fitted_range(PlotKind::Ultrasonic, ValueRange{1.5f, 1.5f});
    EXPECT_LT(flat.low, 1.5f);
    EXPECT_GT(flat.high, 1.5f);
    struct RangeCase {
        const char* name;
        PlotKind kind;
        ValueRange data;
        ValueRange fitted;
    };
    const RangeCase ranges[] = {
        {"metres on whole metres", PlotKind::Ultrasonic, {1.0f, 3.6f}, {0, 4}},
        {"the same a little higher", PlotKind::Ultrasonic, {1.1f, 3.5f}, {0, 4}},
        {"the threshold in view", PlotKind::Ground, {600, 700}, {0, 800}},
        {"not below zero, not past the full range", PlotKind::Ultrasonic, {0.01f, 11.1f}, {0, 12}},
    };
    for (const RangeCase& c : ranges) EXPECT_EQ(fitted_range(c.kind, c.data), c.fitted) << c.name;
    const ValueRange none = fitted_range(PlotKind::Infrared, std::nullopt);
    EXPECT_EQ(none, full_range(PlotKind::Infrared));
}

TEST_F(TrendsWindowTest, FittedRangeSpreadsTheDataAndTheFixedOneShowsItsPlace) {
    auto w = shown_window();
    w->set_span_seconds(10);
    feed(*w, 300, 10 * kMs, [](int i) { return frame(1 + 0.002 * i, {InfraredMark::Number, 20}, 500, 500); });
    w->redraw_now();
    // Rows the module 1 trace covers in the ultrasonic plot, below its title row.
    auto rows_covered = [&] {
        const QImage image = plot(*w, "ultrasonic_plot")->grab().toImage();
        int rows = 0;
        for (int y = 32; y < image.height(); ++y) {
            rows += count_colour(image, TrendPlot::colour(Channel::Ultrasonic1), y, y + 1) > 0 ? 1 : 0;
        }
        return rows;
    };
    // Module 1 rises 1.0 to 1.6 m; with modules 2 and 3 a metre and two above, the fitted range
    // is 0 to 4 m, the fixed one 0 to 12 m.
    const int fitted = rows_covered();
    QTest::keyClick(w.get(), Qt::Key_F);
    ASSERT_TRUE(w->fixed_range()) << "F fixes the range";
    EXPECT_LT(rows_covered() * 2, fitted) << "fitted " << fitted << " rows, fixed " << rows_covered();
    QTest::keyClick(w.get(), Qt::Key_F);
    EXPECT_EQ(rows_covered(), fitted);
}

TEST_F(TrendsWindowTest, AnEmptyHistorySaysSo) {
    auto w = shown_window();
    w->redraw_now();
    w->hover_column(10);
    EXPECT_TRUE(w->readout().endsWith(QStringLiteral("no frame here"))) << w->readout().toStdString();
    EXPECT_FALSE(w->plot_image().isNull());
}

TEST(ColumnPaint, OneStrokePerColumnStretchedToTheLineBeforeAndLinesAcrossEmptyColumns) {
    // Five 10 ms columns; module 1 reads the values below, rows 0 to 10 show 10 down to 0.
    History h(64);
    auto at = [&](int column, double value) { h.add(column * 10 * kMs + 5 * kMs, frame(value, {InfraredMark::Number, 20}, 0, 0)); };
    at(0, 2);
    at(0, 4);  // rows 6 to 8
    at(1, 7);  // row 3, stretched down to the row of the value before, 6
    at(3, 5);  // row 5, the empty column 2 crossed by the line from row 3 on its way down
    ReducedColumns columns;
    reduce_columns(h, ViewGrid(50 * kMs, 5), 50 * kMs, columns);
    std::vector<ColumnContent> planned;
    const std::array<Channel, 1> module1{Channel::Ultrasonic1};
    plan_columns(columns, module1, RowMap{QRect(0, 0, 5, 11), {0, 10}}, planned);
    struct Case {
        int stroke_top, stroke_bottom, bridge_top, bridge_bottom;
    };
    const Case want[] = {{6, 8, -1, -1}, {3, 6, -1, -1}, {-1, -1, 4, 5}, {5, 5, -1, -1}, {-1, -1, -1, -1}};
    for (int c = 0; c < 5; ++c) {
        const ColumnContent& got = planned[static_cast<std::size_t>(c)];
        EXPECT_EQ(got.stroke_top[0], want[c].stroke_top) << "column " << c;
        EXPECT_EQ(got.stroke_bottom[0], want[c].stroke_bottom) << "column " << c;
        EXPECT_EQ(got.bridge_top[0], want[c].bridge_top) << "column " << c;
        EXPECT_EQ(got.bridge_bottom[0], want[c].bridge_bottom) << "column " << c;
    }
}

TEST(TrendsInThePanel, TheDemoFillsTheHistoryCtrlTOpensTheWindowAndItsFailuresAreSaidOnce) {
    QTemporaryDir dir;
    PanelOptions options;
    options.log_path = dir.filePath("demo.csv");
    options.ports = [] { return QList<PortInfo>{}; };
    PanelSession session(options, std::make_unique<SimulatedConnection>(2));
    session.start();
    session.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&session.window()));
    ASSERT_TRUE(sensor::testing::wait_until([&] { return session.logic().frames_decoded() >= 50; }));
    EXPECT_EQ(session.trends(), nullptr) << "no window until asked for";
    EXPECT_EQ(session.history().size(), session.logic().frames_decoded()) << "every frame is kept from start-up";

    QTest::keyClick(&session.window(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_NE(session.trends(), nullptr);
    TrendsWindow& trends = *session.trends();
    EXPECT_TRUE(trends.isVisible());
    const int before = trends.redraw_count();
    EXPECT_TRUE(sensor::testing::wait_until([&] { return trends.redraw_count() > before + 2; })) << "the plots move with the demo";

    // Ctrl+M in Trends marks the newest frame; Ctrl+Shift+M asks for the label first.
    sensor::testing::answer_modal<QInputDialog>([](QInputDialog* d) {
        d->setTextValue(QStringLiteral("lap 2"));
        d->accept();
    });
    QTest::keyClick(&trends, Qt::Key_M, Qt::ControlModifier);
    QTest::keyClick(&trends, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(session.history().markers().end_index(), 2u);
    EXPECT_EQ(session.history().markers().at(0).label, "Marker 1");
    EXPECT_EQ(session.history().markers().at(1).label, "lap 2");

    // A failed save and a failed export each reach standard error once, through the panel.
    QString save_failed, export_failed;
    const QString err = sensor::testing::stderr_of(dir.path(), [&] {
        save_failed = trends.save_plot_to(dir.filePath("missing/trends.png"));
        export_failed = trends.export_to(QStringLiteral("/dev/full"));
    });
    EXPECT_EQ(err.count(save_failed), 1) << err.toStdString();
    EXPECT_EQ(err.count(export_failed), 1) << err.toStdString();
}
