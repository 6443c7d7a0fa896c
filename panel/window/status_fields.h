// The status line's fields in one row, painted by one widget: a new count repaints the row and
// nothing else, never re-lays out the window. When the row is short of room the longest fields
// give way first, each elided with its whole text a hover away; the window never widens for them.
#pragma once

#include <QString>
#include <QWidget>

#include <array>

namespace sensor {

class StatusFields : public QWidget {
    Q_OBJECT
public:
    enum Field { Port, Frames, Health, Age, Log, Extras, Replay, kFieldCount };

    explicit StatusFields(QWidget* parent = nullptr);

    // An empty text hides its field; tip: what a hover shows beside the whole text.
    void set(Field field, const QString& text, const QString& tip = {});
    QString text(Field field) const { return fields_[field].text; }
    QString tip(Field field) const { return fields_[field].tip; }
    // The fields shown, joined as they read: "/dev/ttyUSB0: open | 12 frames, 113/s | ...".
    QString joined() const;
    // Where each field is painted now, for tests and tooltips; empty for a hidden field.
    QRect field_rect(Field field) const;
    // The text painted for a field now: whole, or elided to its room.
    QString shown(Field field) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Entry {
        QString text;
        QString tip;
        QRect rect;
        QString shown;
    };
    void lay_out();

    std::array<Entry, kFieldCount> fields_;
};

}  // namespace sensor
