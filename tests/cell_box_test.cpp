// The panel's cells as the user meets them: they look like a read-only line edit pixel for pixel,
// keep their text from typing, copy it, tell a screen reader what a text box tells it, and only a
// changed cell is repainted. The display tick: at once after a quiet spell, paced while changes
// come, silent while nothing changes.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

#include "panel/window/cell_box.h"
#include "tests/support/wait.h"

using namespace sensor;
using sensor::testing::wait_until;

namespace {

QFont cell_font() {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(14.25);
    return font;
}

// Pixels that differ between two pictures of the same size.
int differing_pixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return a.width() * a.height();
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

// A cell and a read-only line edit side by side on one shown window, alike in all but kind.
struct SideBySide {
    QWidget window;
    QPushButton* elsewhere = new QPushButton(&window);  // holds the focus that neither box has
    QLineEdit* edit = new QLineEdit(&window);
    CellBox* cell = new CellBox(&window);
    SideBySide(const QSize& size) {
        edit->setReadOnly(true);
        edit->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        for (QWidget* w : {static_cast<QWidget*>(edit), static_cast<QWidget*>(cell)}) {
            w->setFont(cell_font());
            w->resize(size);
        }
        cell->move(0, size.height() + 10);
        elsewhere->setGeometry(0, 2 * size.height() + 20, 20, 20);
        window.resize(size.width() + 10, 2 * size.height() + 50);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        elsewhere->setFocus();
        EXPECT_TRUE(wait_until([&] { return elsewhere->hasFocus(); }));
    }
    void show(const QString& text) {
        edit->setText(text);
        edit->setCursorPosition(0);
        cell->setText(text);
    }
    QImage edit_picture() { return edit->grab().toImage(); }
    QImage cell_picture() { return cell->grab().toImage(); }
};

}  // namespace

TEST(CellBoxLook, DrawsWhatAReadOnlyCentredLineEditDraws) {
    struct Case {
        const char* name;
        QSize size;
        QString text;
    };
    const Case cases[] = {
        {"empty", {81, 35}, QString()},
        {"a reading", {81, 35}, QStringLiteral("1023")},
        {"a verdict", {81, 33}, QStringLiteral("black")},
        {"one digit", {81, 35}, QStringLiteral("0")},
        {"wider than the cell, shown from its start", {81, 35}, QStringLiteral("27.5396825396825")},
        {"a group state", {41, 21}, QStringLiteral("OFF")},
        {"a failed conversion", {81, 35}, QStringLiteral("ERR")},
        {"a comma locale's decimal", {81, 35}, QStringLiteral("0,0508")},
        {"letters that kern in many fonts", {81, 35}, QStringLiteral("AVAWay")},
        {"a script the cell's font lacks, laid out in full", {81, 35}, QStringLiteral("\u6f22\u5b57 \u05e9")},
    };
    SideBySide pair({81, 35});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pair.edit->resize(c.size);
        pair.cell->resize(c.size);
        pair.show(c.text);
        const QImage edit = pair.edit_picture(), cell = pair.cell_picture();
        EXPECT_EQ(differing_pixels(edit, cell), 0);
    }
}

TEST(CellBoxLook, FocusShowsAsOnALineEditAndStaleDimsOnlyTheText) {
    SideBySide pair({81, 35});
    pair.show(QStringLiteral("512"));
    const QImage plain = pair.cell_picture();

    pair.cell->set_stale(true);
    const QImage stale = pair.cell_picture();
    EXPECT_GT(differing_pixels(plain, stale), 0) << "a stale reading looks different";
    pair.edit->setEnabled(false);
    EXPECT_NE(pair.cell->palette().color(QPalette::Disabled, QPalette::Text),
              pair.cell->palette().color(QPalette::Active, QPalette::Text));
    pair.edit->setEnabled(true);
    pair.cell->set_stale(false);
    EXPECT_EQ(differing_pixels(plain, pair.cell_picture()), 0) << "and back once fresh";

    pair.window.activateWindow();
    pair.cell->setFocus();
    ASSERT_TRUE(wait_until([&] { return pair.cell->hasFocus(); }));
    const QImage focused_cell = pair.cell_picture();
    pair.edit->setFocus();
    ASSERT_TRUE(wait_until([&] { return pair.edit->hasFocus(); }));
    EXPECT_EQ(differing_pixels(pair.edit_picture(), focused_cell), 0);
    pair.elsewhere->setFocus();
    ASSERT_TRUE(wait_until([&] { return pair.elsewhere->hasFocus(); }));
    EXPECT_EQ(differing_pixels(plain, pair.cell_picture()), 0) << "focus gone, frame as before";
}

TEST(CellBoxUse, TypingChangesNothingCopyAndTheMenuCopyTheWholeText) {
    SideBySide pair({81, 35});
    const QString text = QStringLiteral("27.5396825396825");
    pair.show(text);
    EXPECT_EQ(pair.cell->toolTip(), text) << "the whole text a hover away";
    pair.cell->setFocus();
    QTest::keyClicks(pair.cell, "99");
    QTest::keyClick(pair.cell, Qt::Key_Backspace);
    QTest::keyClick(pair.cell, Qt::Key_Delete);
    EXPECT_EQ(pair.cell->text(), text);

    QApplication::clipboard()->clear();
    QTest::keyClick(pair.cell, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), text);

    QApplication::clipboard()->clear();
    const std::unique_ptr<QMenu> menu(pair.cell->create_context_menu());
    ASSERT_EQ(menu->actions().size(), 1);
    QAction* copy = menu->actions().front();
    EXPECT_TRUE(copy->isEnabled());
    copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), text);

    pair.cell->setText(QString());
    const std::unique_ptr<QMenu> empty(pair.cell->create_context_menu());
    EXPECT_FALSE(empty->actions().front()->isEnabled()) << "nothing to copy";
}

TEST(CellBoxUse, AScreenReaderSeesAReadOnlyTextBoxWithItsNameAndText) {
    SideBySide pair({81, 35});
    pair.cell->setAccessibleName(QStringLiteral("Output IR, Module 1"));
    pair.show(QStringLiteral("731"));
    QAccessibleInterface* cell = QAccessible::queryAccessibleInterface(pair.cell);
    QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(pair.edit);
    ASSERT_NE(cell, nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(cell->role(), edit->role());
    EXPECT_EQ(cell->text(QAccessible::Name), "Output IR, Module 1");
    EXPECT_EQ(cell->text(QAccessible::Value), "731");
    EXPECT_EQ(cell->text(QAccessible::Description), "") << "not the value again";
    pair.cell->setAccessibleDescription(QStringLiteral("infrared reading, 0 to 1023"));
    EXPECT_EQ(cell->text(QAccessible::Description), "infrared reading, 0 to 1023");
    EXPECT_TRUE(cell->state().readOnly);
    EXPECT_FALSE(cell->state().editable);
    EXPECT_TRUE(cell->state().focusable);
    EXPECT_EQ(cell->state().readOnly, edit->state().readOnly);

    QAccessibleTextInterface* text = cell->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 3);
    EXPECT_EQ(text->text(0, 3), "731");
    EXPECT_EQ(text->text(1, 2), "3");
    EXPECT_EQ(text->text(2, 9), "1");
    EXPECT_EQ(text->text(4, 5), "");
    int start = -1, end = -1;
    EXPECT_EQ(text->textAtOffset(1, QAccessible::LineBoundary, &start, &end), "731");
    EXPECT_EQ(text->selectionCount(), 0);
    const QRect first = text->characterRect(0);
    EXPECT_TRUE(QRect(pair.cell->mapToGlobal(QPoint(0, 0)), pair.cell->size()).contains(first)) << "inside the cell";
    EXPECT_EQ(text->offsetAtPoint(first.center()), 0);
    EXPECT_EQ(text->characterRect(3), QRect());
}

TEST(CellBoxPaint, OnlyACellWhoseTextChangedIsRepainted) {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    };
    QWidget window;
    CellBox a(&window), b(&window);
    a.setGeometry(0, 0, 81, 35);
    b.setGeometry(0, 40, 81, 35);
    window.resize(90, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    PaintCounter count_a, count_b;
    a.installEventFilter(&count_a);
    b.installEventFilter(&count_b);

    QSignalSpy changed(&a, &CellBox::textChanged);
    a.setText(QStringLiteral("12"));
    ASSERT_TRUE(wait_until([&] { return count_a.paints > 0; }));
    EXPECT_EQ(count_b.paints, 0);
    const int after_change = count_a.paints;
    a.setText(QStringLiteral("12"));  // the same text: nothing to do
    // A repaint asked for would be done by the posted events, with no time to pass.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(count_a.paints, after_change);
    EXPECT_EQ(changed.count(), 1);
}
