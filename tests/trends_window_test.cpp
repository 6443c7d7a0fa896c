// The Trends window as the operator meets it, on the offscreen platform: the plots show every
// trace in its colour with marks and bands, pausing holds the picture while frames keep being
// recorded, redraws happen only when the picture moves, the hover readout, saving a PNG to a real
// folder and to a missing one, and the settings it keeps.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <cmath>
#include <functional>
#include <memory>

#include "trends/window/column_strokes.h"
#include "trends/window/trend_plot.h"
#include "trends/window/trends_window.h"
#include "session/panel_session.h"
#include "io/simulated_connection.h"
#include "tests/support/wait.h"

using namespace sensor;

// Readable failure messages for QString comparisons.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kStart = 5'000 * kMs;  // steady-clock times start far from zero

FrameResult frame(double ultrasonic, InfraredDistance infrared, int ground1, int ground2) {
    FrameResult f;
    f.ultrasonic_m = {ultrasonic, ultrasonic + 1, ultrasonic + 2};
    f.infrared_cm = {infrared, infrared, infrared};
    f.ground = {ground1, ground2};
    f.verdict = {ground1 > 150 ? Verdict::White : Verdict::Black, ground2 > 150 ? Verdict::White : Verdict::Black};
    return f;
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
        w->resize(width, height);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }

    // Each frame `step_ns` after the one before.
    void feed(TrendsWindow& w, int count, std::int64_t step_ns, const std::function<FrameResult(int)>& make) {
        for (int i = 0; i < count; ++i) {
            next_ns_ += step_ns;
            history_.add(next_ns_, make(i));
            w.frame_added();
        }
    }

    static bool wait_for_redraw(TrendsWindow& w, int after) {
        return QTest::qWaitFor([&] { return w.redraw_count() > after && !w.redraw_pending(); }, 5000);
    }

    QTemporaryDir settings_dir_;
    History history_;
    std::int64_t next_ns_ = kStart;
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

}  // namespace

TEST_F(TrendsWindowTest, PaintsEveryTraceMarkAndBandInItsColour) {
    auto w = shown_window();
    w->set_span_seconds(10);
    feed(*w, 600, 10 * kMs, [](int i) {
        const InfraredDistance ir = (i >= 100 && i < 130)   ? InfraredDistance{InfraredMark::Err, 0}
                                    : (i >= 300 && i < 330) ? InfraredDistance{InfraredMark::Ok, 0}
                                                            : InfraredDistance{InfraredMark::Number, 30 + 10 * std::sin(i / 20.0)};
        return frame(1 + 0.5 * std::sin(i / 30.0), ir, (i / 50) % 2 == 0 ? 100 : 600, 400);
    });
    ASSERT_TRUE(wait_for_redraw(*w, 0));

    struct Case {
        const char* plot;
        std::vector<Channel> channels;
    };
    const Case cases[] = {
        {"ultrasonic_plot", {Channel::Ultrasonic1, Channel::Ultrasonic2, Channel::Ultrasonic3}},
        {"infrared_plot", {Channel::Infrared1, Channel::Infrared2, Channel::Infrared3}},
        {"ground_plot", {Channel::Ground1, Channel::Ground2}},
    };
    for (const Case& c : cases) {
        TrendPlot* p = plot(*w, c.plot);
        ASSERT_NE(p, nullptr) << c.plot;
        const QImage image = p->grab().toImage();
        // Below the title and legend row, so the legend's own strokes do not count.
        for (const Channel ch : c.channels) {
            EXPECT_GT(count_colour(image, TrendPlot::colour(ch), 32, image.height()), 50)
                << c.plot << " channel " << channel_index(ch);
        }
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
    const int band2 = ground.height() - 16 - 5;  // under the time labels, 10 px high, 4 apart
    const int band1 = band2 - 14;
    EXPECT_GT(count_colour(ground, Qt::black, band1, band1 + 1), 100);
    EXPECT_GT(count_colour(ground, Qt::white, band1, band1 + 1), 100);
    EXPECT_EQ(count_colour(ground, Qt::black, band2, band2 + 1), 0);
    EXPECT_GT(count_colour(ground, Qt::white, band2, band2 + 1), 200);
}

TEST_F(TrendsWindowTest, PauseHoldsThePictureWhileFramesKeepBeingRecorded) {
    auto w = shown_window();
    w->set_span_seconds(10);
    auto rising = [&](int i) { return frame(0.01 * i, {InfraredMark::Number, 20}, 200 + i, 300); };
    feed(*w, 300, 10 * kMs, rising);
    ASSERT_TRUE(wait_for_redraw(*w, 0));

    QTest::keyClick(w.get(), Qt::Key_Space);
    ASSERT_TRUE(w->paused()) << "Space pauses";
    const QImage held = w->plot_image();
    const int redraws = w->redraw_count();
    const std::uint64_t frames = history_.end_index();
    feed(*w, 300, 10 * kMs, [&](int i) { return rising(300 + i); });
    EXPECT_FALSE(w->redraw_pending());
    QCoreApplication::processEvents();
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
    ASSERT_TRUE(wait_for_redraw(*w, redraws));
    EXPECT_NE(w->plot_image(), held);
}

TEST_F(TrendsWindowTest, RedrawsOnlyWhenAFrameChangesThePicture) {
    auto w = shown_window();
    w->set_span_seconds(600);
    auto same = [](int) { return frame(1, {InfraredMark::Number, 20}, 200, 300); };
    feed(*w, 1, 0, same);
    ASSERT_TRUE(wait_for_redraw(*w, 0));
    const int redraws = w->redraw_count();
    // A column is 600 s over the plot's width (well over 100 ms at this width): frames 1 ms
    // apart with the same values land in the same column and change nothing.
    feed(*w, 50, 1 * kMs, same);
    EXPECT_FALSE(w->redraw_pending());

    feed(*w, 1, 1 * kMs, [](int) { return frame(1.5, {InfraredMark::Number, 20}, 200, 300); });
    EXPECT_TRUE(w->redraw_pending()) << "a new highest value in the newest column";
    ASSERT_TRUE(wait_for_redraw(*w, redraws));

    feed(*w, 1, 1 * kMs, [](int) { return frame(1.2, {InfraredMark::Err, 0}, 200, 300); });
    EXPECT_TRUE(w->redraw_pending()) << "a new ERR mark";
    ASSERT_TRUE(wait_for_redraw(*w, redraws + 1));

    feed(*w, 1, 2'000 * kMs, same);
    EXPECT_TRUE(w->redraw_pending()) << "the view moves on by a column";
    ASSERT_TRUE(wait_for_redraw(*w, redraws + 2));

    w->showMinimized();
    feed(*w, 20, 2'000 * kMs, same);
    EXPECT_FALSE(w->redraw_pending()) << "nothing is drawn while the window is minimised";
    w->showNormal();
    EXPECT_TRUE(wait_for_redraw(*w, redraws + 3)) << "restored, it catches up";

    w->hide();
    feed(*w, 20, 2'000 * kMs, same);
    EXPECT_FALSE(w->redraw_pending()) << "nothing is drawn while the window is hidden";
    const int hidden = w->redraw_count();
    w->show();
    EXPECT_TRUE(wait_for_redraw(*w, hidden)) << "shown again, it catches up";
}

TEST_F(TrendsWindowTest, HoverReadsTimeAndEveryValueOfTheFrameUnderThePointer) {
    auto w = shown_window();
    w->set_span_seconds(10);
    // One frame every 100 ms: the first 30 one way, the next 30 another, the last with "OK".
    feed(*w, 60, 100 * kMs, [](int i) {
        return i < 30 ? frame(0.508, {InfraredMark::Number, 12.44}, 512, 90) : frame(2.25, {InfraredMark::Err, 0}, 100, 1000);
    });
    feed(*w, 1, 100 * kMs, [](int) { return frame(2.25, {InfraredMark::Ok, 0}, 100, 1000); });
    ASSERT_TRUE(wait_for_redraw(*w, 0));

    TrendPlot* p = plot(*w, "infrared_plot");
    const int width = p->plot_width();
    // The view ends at the column after the newest frame (at 6.0 s run time) and spans 10 s, so
    // a column is 10 s / width; 1.0 s and 5.0 s lie this far from the right edge.
    auto column_at = [&](double run_s) { return width - 1 - static_cast<int>((6.0 - run_s) / 10.0 * width); };
    QTest::mouseMove(p, QPoint(TrendPlot::kLeftMargin + column_at(1.0), p->height() / 2));
    auto* readout = w->findChild<QLabel*>(QStringLiteral("readout"));
    ASSERT_NE(readout, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return readout->text().startsWith(QStringLiteral("0:01.00")); }, 5000))
        << readout->text().toStdString();
    EXPECT_EQ(readout->text(), QStringLiteral("0:01.00   Ultrasonic 0.508 / 1.508 / 2.508 m   Infrared 12.4 / 12.4 / "
                                              "12.4 cm   Ground 512 white / 90 black"));

    w->hover_column(column_at(5.0));
    EXPECT_EQ(w->readout(),
              QStringLiteral("0:05.00   Ultrasonic 2.250 / 3.250 / 4.250 m   Infrared ERR / ERR / ERR cm   Ground 100 black / 1000 white"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    w->hover_column(column_at(1.0));
    EXPECT_TRUE(w->readout().contains(QStringLiteral("Ultrasonic 0,508 / 1,508 / 2,508 m"))) << "the locale's separator";
    QLocale::setDefault(QLocale::c());
    w->hover_column(width - 1);
    EXPECT_TRUE(w->readout().contains(QStringLiteral("Infrared OK / OK / OK cm"))) << w->readout().toStdString();
    w->hover_column(-1);
    EXPECT_EQ(readout->text(), QStringLiteral("Point at a plot to read the values there."));
}

TEST_F(TrendsWindowTest, SavesThePlotsAsPngOrSaysWhyNot) {
    auto w = shown_window();
    feed(*w, 100, 10 * kMs, [](int i) { return frame(0.01 * i, {InfraredMark::Number, 20}, 300, 100); });
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    const QString good = dir.filePath(QStringLiteral("trends.png"));
    EXPECT_EQ(w->save_plot_to(good), QString());
    const QImage saved(good, "PNG");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), w->plot_image().size());
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("message"))->text(), QStringLiteral("Saved the plot to %1.").arg(good));

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
    };
    for (const Case& c : cases) {
        const QString sentence = w->save_plot_to(c.path);
        EXPECT_TRUE(sentence.startsWith(QStringLiteral("Cannot save the plot to %1: ").arg(c.path))) << c.name << ": " << sentence.toStdString();
        EXPECT_TRUE(sentence.endsWith(QStringLiteral(". Choose a folder that exists and that you may write to.")))
            << c.name << ": " << sentence.toStdString();
        EXPECT_EQ(sentence.count(QStringLiteral(". ")), 1) << c.name << ": one reason, one hint: " << sentence.toStdString();
        EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("message"))->text(), sentence) << c.name;
    }
}

TEST_F(TrendsWindowTest, RemembersSpanPlaceSizeAndOpenState) {
    {
        auto w = shown_window(820, 560);
        w->set_span_seconds(600);
        EXPECT_TRUE(QSettings().value(QStringLiteral("trends/open")).toBool());
        w->close();
        EXPECT_FALSE(QSettings().value(QStringLiteral("trends/open")).toBool());
    }
    EXPECT_EQ(QSettings().value(QStringLiteral("trends/span")).toInt(), 600);
    TrendsWindow again(history_);
    EXPECT_EQ(again.span_seconds(), 600);
    EXPECT_EQ(again.size(), QSize(820, 560));

    QSettings().setValue(QStringLiteral("trends/span"), 7);
    EXPECT_EQ(TrendsWindow(history_).span_seconds(), 60) << "a span it does not offer falls back to 1 min";
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

    struct TextCase {
        double seconds;
        int decimals;
        const char* text;
    };
    const TextCase texts[] = {{0, 2, "0:00.00"},     {5.004, 2, "0:05.00"}, {59.996, 2, "1:00.00"},
                              {754.5, 0, "12:35"},  {-3.25, 1, "-0:03.3"},  {-0.001, 2, "0:00.00"},
                              {3600, 0, "60:00"}};
    for (const TextCase& c : texts) EXPECT_EQ(run_time_text(c.seconds, c.decimals), QString::fromUtf8(c.text)) << c.seconds;

    // A flat trace still gets room; the ground plot keeps its threshold in view.
    const ValueRange flat = fitted_range(PlotKind::Ultrasonic, ValueRange{1.5f, 1.5f});
    EXPECT_LT(flat.low, 1.5f);
    EXPECT_GT(flat.high, 1.5f);
    const ValueRange ground = fitted_range(PlotKind::Ground, ValueRange{600, 700});
    EXPECT_LT(ground.low, 150);
    EXPECT_GT(ground.high, 700);
    const ValueRange none = fitted_range(PlotKind::Infrared, std::nullopt);
    EXPECT_EQ(none.low, full_range(PlotKind::Infrared).low);
    EXPECT_EQ(none.high, full_range(PlotKind::Infrared).high);
}

TEST_F(TrendsWindowTest, FittedRangeSpreadsTheDataAndTheFixedOneShowsItsPlace) {
    auto w = shown_window();
    w->set_span_seconds(10);
    feed(*w, 300, 10 * kMs, [](int i) { return frame(1 + 0.002 * i, {InfraredMark::Number, 20}, 500, 500); });
    ASSERT_TRUE(wait_for_redraw(*w, 0));
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
    // is about 1 to 3.6 m, the fixed one 0 to 12 m.
    const int fitted = rows_covered();
    QTest::keyClick(w.get(), Qt::Key_F);
    ASSERT_TRUE(w->fixed_range()) << "F fixes the range";
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows_covered() * 3 < fitted; }, 5000))
        << "fitted " << fitted << " rows, fixed " << rows_covered();
    QTest::keyClick(w.get(), Qt::Key_F);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows_covered() == fitted; }, 5000));
}

TEST_F(TrendsWindowTest, AnEmptyHistorySaysSo) {
    auto w = shown_window();
    ASSERT_TRUE(wait_for_redraw(*w, -1));
    w->hover_column(10);
    EXPECT_TRUE(w->readout().endsWith(QStringLiteral("no frame here"))) << w->readout().toStdString();
    EXPECT_FALSE(w->plot_image().isNull());
}

TEST(ColumnStrokes, OneStrokePerColumnStretchedToTheLineBefore) {
    // Rows 0 to 10 show the values 10 down to 0.
    auto column = [](float min, float max, float first, float last, bool joins) {
        ChannelColumn c;
        c.summary.values = 1;
        c.summary.min = min;
        c.summary.max = max;
        c.summary.first = first;
        c.summary.last = last;
        c.joins_previous = joins;
        return c;
    };
    const std::vector<ChannelColumn> columns{
        column(2, 4, 2, 4, false),  // rows 6 to 8
        column(7, 7, 7, 7, true),   // row 3, stretched down to the previous last value's row 6
        ChannelColumn{},            // no frame
        column(5, 5, 5, 5, true),   // row 5, joined across the empty column by a line
        column(1, 1, 1, 1, false),  // row 9 alone: a break before it
    };
    const std::vector<std::pair<int, int>> rows_set{{6, 8}, {3, 6}, {-1, -1}, {5, 5}, {9, 9}};
    for (const int ratio : {1, 2}) {
        QImage image(10 * ratio, 11 * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        const QRgb blue = qRgb(0, 0, 255);
        const std::vector<QLine> bridges = stroke_columns(image, RowMap{QRect(0, 0, 10, 11), {0, 10}}, columns, blue);
        ASSERT_EQ(bridges.size(), 1u) << "ratio " << ratio;
        EXPECT_EQ(bridges[0], QLine(1, 3, 3, 5)) << "ratio " << ratio;
        for (int col = 0; col < 10; ++col) {
            for (int row = 0; row < 11; ++row) {
                const auto [top, bottom] = col < 5 ? rows_set[static_cast<std::size_t>(col)] : std::pair{-1, -1};
                const bool want = row >= top && row <= bottom;
                for (int d = 0; d < ratio * ratio; ++d) {
                    const QRgb got = image.pixel(col * ratio + d % ratio, row * ratio + d / ratio);
                    EXPECT_EQ(got == blue, want) << "ratio " << ratio << " column " << col << " row " << row;
                }
            }
        }
    }
}

TEST(TrendsInThePanel, TheDemoFillsTheHistoryFromStartUpAndCtrlTOpensTheWindow) {
    QTemporaryDir dir;
    PanelOptions options;
    options.log_path = dir.filePath("demo.csv");
    options.echo_to_stderr = false;
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
    EXPECT_TRUE(session.trends()->isVisible());
    const int before = session.trends()->redraw_count();
    EXPECT_TRUE(sensor::testing::wait_until([&] { return session.trends()->redraw_count() > before + 2; }))
        << "the plots move with the demo";
}
