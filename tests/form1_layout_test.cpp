// The panel as designed: every control at its place with its text, font and tab order, the arrays
// complete, and a window that never squeezes or hides it. Over a core that has not loaded yet.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <map>
#include <vector>

#include "panel/window/cell_box.h"
#include "panel/window/form1.h"
#include "panel/window/main_window.h"

using namespace sensor;

namespace {

QRect px(int left, int top, int width, int height) { return {left / 15, top / 15, width / 15, height / 15}; }

QString widget_text(QWidget* w) {
    if (auto* c = qobject_cast<CellBox*>(w)) return c->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return QStringLiteral("<no text>");
}

struct ControlRow {
    const char* name;
    QRect place;  // in pixels, from the design's twips
    const char* text;
    const char* family;
    double points;
    bool bold;
    bool italic;
    int tab;  // -1: takes no focus
};

const char* const kTnr = "Times New Roman";
const char* const kCourier = "Courier New";
const char* const kSans = "MS Sans Serif";

std::vector<ControlRow> design_table() {
    std::vector<ControlRow> rows = {
        {"Command1", px(240, 240, 1335, 735), "START", kCourier, 18, true, true, 0},
        {"Text3", px(2040, 360, 1575, 495), "Text3", kTnr, 18, false, false, 17},
        {"Command5", px(4200, 360, 855, 495), "CLEAR", kSans, 8.25, false, false, 18},
        {"Command3", px(9720, 360, 855, 495), "Reset", kCourier, 11.25, true, true, 8},
        {"Command4", px(240, 1680, 855, 495), "IR", kSans, 8.25, true, true, 7},
        {"Text2_0", px(1320, 1800, 615, 315), "Text2", kSans, 8.25, false, false, 9},
        {"Command2", px(240, 2880, 855, 495), "US", kSans, 8.25, true, true, 3},
        {"Text2_1", px(1320, 3000, 615, 315), "Text2", kSans, 8.25, false, false, 10},
        {"Check1", px(240, 3600, 2295, 615), "US Short Distance Measurement ENABLED", kCourier, 8.25, false, false, 5},
        {"Check2", px(240, 4320, 2655, 615), "US Interference Control Override ENABLED", kCourier, 8.25, false, false, 6},
        {"Command6", px(240, 5160, 855, 495), "Ground", kTnr, 12, false, false, 20},
        {"Text2_2", px(1320, 5280, 615, 315), "Text2", kSans, 8.25, false, false, 21},
        {"Label1_0", px(3000, 1800, 1455, 255), "Output IR", kCourier, 11.25, false, true, -1},
        {"Label1_1", px(3360, 3360, 1095, 255), "TOF US", kCourier, 11.25, false, true, -1},
        {"Label1_2", px(3360, 3960, 1095, 615), "Distance US (m)", kCourier, 11.25, false, true, -1},
        {"Label1_3", px(3000, 2400, 1455, 615), "Distance IR (cm)", kCourier, 11.25, false, true, -1},
        {"Label1_4", px(2760, 6000, 1695, 255), "Lijn", kCourier, 11.25, false, true, -1},
        {"Label1_5", px(2760, 5280, 1695, 255), "Ground IR", kCourier, 11.25, false, true, -1},
        {"Label1_6", px(4560, 1320, 1455, 255), "Module 1", kCourier, 11.25, false, true, -1},
        {"Label1_7", px(6840, 1320, 1455, 255), "Module 2", kCourier, 11.25, false, true, -1},
        {"Label1_8", px(8880, 1320, 1455, 255), "Module 3", kCourier, 11.25, false, true, -1},
        {"Label1_9", px(4560, 4800, 1455, 255), "Ground 1", kCourier, 11.25, false, true, -1},
        {"Label1_10", px(6840, 4800, 1455, 255), "Ground 2", kCourier, 11.25, false, true, -1},
    };
    struct Cell {
        int left, top, height, tab;
    };
    const Cell cells[16] = {
        {4680, 1680, 525, 1},  {4680, 3240, 495, 2},  {6960, 1680, 525, 12}, {6960, 3240, 525, 13},
        {9000, 1680, 525, 22}, {9000, 3240, 525, 23}, {4680, 4080, 495, 14}, {6960, 4080, 495, 15},
        {9000, 4080, 525, 24}, {4680, 5160, 525, 25}, {6960, 5160, 525, 26}, {4680, 2400, 525, 27},
        {6960, 2400, 525, 28}, {9000, 2400, 525, 29}, {4680, 5880, 525, 31}, {6960, 5880, 525, 32},
    };
    static std::vector<std::string> names;
    names.clear();
    for (int i = 0; i < 16; ++i) names.push_back("Text1_" + std::to_string(i));
    for (int i = 0; i < 16; ++i)
        rows.push_back({names[static_cast<std::size_t>(i)].c_str(), px(cells[i].left, cells[i].top, 1215, cells[i].height),
                        "Text1", kTnr, 14.25, false, false, cells[i].tab});
    return rows;
}

std::map<QString, QRect> geometries(const Form1& form) {
    std::map<QString, QRect> out;
    for (QWidget* w : form.findChildren<QWidget*>()) out[w->objectName()] = w->geometry();
    return out;
}

}  // namespace

// Layout: the window as it stands before start-up, over a core that has not loaded yet.
TEST(Form1Layout, EveryControlAtItsDesignPlaceWithItsTextAndFont) {
    PanelLogic logic;
    Form1 form(logic);
    EXPECT_EQ(form.windowTitle(), "Form1");
    EXPECT_EQ(form.width(), 813) << "12195 twips";
    EXPECT_EQ(form.height(), 449) << "6735 twips, the panel's client area and nothing else";
    EXPECT_EQ(form.font().family(), kTnr);
    EXPECT_DOUBLE_EQ(form.font().pointSizeF(), 12);

    for (const ControlRow& row : design_table()) {
        SCOPED_TRACE(row.name);
        auto* w = form.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), row.place);
        EXPECT_EQ(widget_text(w), QString::fromLatin1(row.text));
        const QFont f = w->font();
        EXPECT_EQ(f.family(), QString::fromLatin1(row.family));
        EXPECT_DOUBLE_EQ(f.pointSizeF(), row.points);
        EXPECT_EQ(f.bold(), row.bold);
        EXPECT_EQ(f.weight(), row.bold ? QFont::Bold : QFont::Normal);
        EXPECT_EQ(f.italic(), row.italic);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            EXPECT_TRUE(e->alignment() & Qt::AlignHCenter);
        }
        if (auto* c = qobject_cast<CellBox*>(w)) {
            EXPECT_TRUE(c->alignment() & Qt::AlignHCenter);
        }
        if (auto* l = qobject_cast<QLabel*>(w)) {
            EXPECT_TRUE(l->alignment() & Qt::AlignHCenter);
            EXPECT_TRUE(l->wordWrap());
        }
    }
}

TEST(Form1Layout, ArraysAreCompleteAndEndWhereTheDesignEnds) {
    PanelLogic logic;
    Form1 form(logic);
    for (int i = 0; i < 16; ++i) {
        ASSERT_NE(form.Text1(i), nullptr);
        EXPECT_EQ(form.Text1(i)->objectName(), QStringLiteral("Text1_%1").arg(i));
    }
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(form.Text2(i), nullptr);
        EXPECT_EQ(form.Text2(i)->objectName(), QStringLiteral("Text2_%1").arg(i));
    }
    for (int i = 0; i < 11; ++i) {
        ASSERT_NE(form.Label1(i), nullptr);
        EXPECT_EQ(form.Label1(i)->objectName(), QStringLiteral("Label1_%1").arg(i));
    }
    EXPECT_EQ(form.Text1(16), nullptr);
    EXPECT_EQ(form.Text2(3), nullptr);
    EXPECT_EQ(form.Label1(11), nullptr);
    EXPECT_EQ(form.Text1(-1), nullptr);
    EXPECT_EQ(form.Timer1()->interval(), 1000);
}

TEST(Form1Layout, TabOrderFollowsTheDesign) {
    PanelLogic logic;
    Form1 form(logic);
    std::map<int, QString> by_tab;
    for (const ControlRow& row : design_table())
        if (row.tab >= 0) by_tab[row.tab] = QString::fromLatin1(row.name);
    std::vector<QString> expected;
    for (const auto& [tab, name] : by_tab) expected.push_back(name);

    std::vector<QString> chain;
    QWidget* w = form.Command1();
    do {
        if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w->objectName());
        w = w->nextInFocusChain();
    } while (w != form.Command1() && chain.size() < 100);
    chain.resize(std::min(chain.size(), expected.size()));
    EXPECT_EQ(chain, expected);
}

TEST(Form1Layout, AResizeMovesNothingAndTheWindowNeverHidesThePanel) {
    PanelLogic logic;
    MainWindow window(logic);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto before = geometries(window.form());
    for (const QSize size : {QSize(300, 200), QSize(1600, 1000)}) {
        window.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(geometries(window.form()), before) << size.width() << "x" << size.height();
        EXPECT_EQ(window.form().size(), QSize(813, 449));
        const QRect status = window.status().geometry();
        EXPECT_GE(window.height(), window.form().geometry().bottom() + status.height()) << "the status bar stays in view";
        EXPECT_GE(window.width(), 813);
    }
}
