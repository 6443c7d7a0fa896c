// The newest message under the panel, read whole: two lines of room, wrapped at words; a message
// longer than that (rare at the window's own size) keeps its start and ends in "…", and its whole
// text is the tooltip and in View > Messages. It never widens the window.
#pragma once

#include <QString>
#include <QWidget>

namespace sensor {

class MessageLine : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLines = 2;

    explicit MessageLine(QWidget* parent = nullptr);

    void set_message(const QString& message);
    QString message() const { return message_; }
    // What is painted now, line by line; "…" ends it when the message did not fit.
    QString shown() const { return shown_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void lay_out();

    QString message_;
    QString shown_;
};

}  // namespace sensor
