// How a screen reader sees a panel cell: a read-only text box with a name and the cell's text as
// its value and text, as it sees a read-only line edit.
#pragma once

#include <QString>

class QAccessibleInterface;
class QObject;

namespace sensor {

// The accessibility factory for CellBox; nullptr for every other class.
QAccessibleInterface* accessible_cell_box(const QString& class_name, QObject* object);

}  // namespace sensor
