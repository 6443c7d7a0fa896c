// The screen reader's view of a CellBox: role, state, name, value and the text interface that a
// reader uses to speak a text box's contents.
#include "panel/window/cell_box_accessible.h"

#include <QAccessibleWidget>
#include <QFontMetrics>

#include "panel/window/cell_box.h"

namespace sensor {
namespace {

class AccessibleCellBox : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessibleCellBox(CellBox* cell) : QAccessibleWidget(cell, QAccessible::EditableText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return cell()->text();
        // What the cell shows, not its value again: the tooltip holds the value.
        if (t == QAccessible::Description) return cell()->accessibleDescription();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.selectableText = true;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // Nothing is selected and the cursor rests at the start, as in a read-only box never clicked.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}

    QString text(int start, int end) const override {
        const QString all = cell()->text();
        if (start < 0 || end < start || start > all.size()) return {};
        return all.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(cell()->text().size()); }

    QRect characterRect(int offset) const override {
        const QString all = cell()->text();
        if (offset < 0 || offset >= all.size()) return {};
        const QFontMetrics metrics = cell()->fontMetrics();
        const QPoint origin = cell()->text_origin();
        const int x = origin.x() + metrics.horizontalAdvance(all.left(offset));
        const QRect local(x, origin.y(), metrics.horizontalAdvance(all.at(offset)), metrics.height());
        return {cell()->mapToGlobal(local.topLeft()), local.size()};
    }

    int offsetAtPoint(const QPoint& point) const override {
        for (int i = 0; i < characterCount(); ++i)
            if (characterRect(i).contains(point)) return i;
        return -1;
    }

    void scrollToSubstring(int, int) override {}

    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    CellBox* cell() const { return static_cast<CellBox*>(widget()); }
};

}  // namespace

QAccessibleInterface* accessible_cell_box(const QString& class_name, QObject* object) {
    if (class_name != QLatin1String(CellBox::staticMetaObject.className())) return nullptr;
    auto* cell = qobject_cast<CellBox*>(object);
    return cell ? new AccessibleCellBox(cell) : nullptr;
}

}  // namespace sensor
