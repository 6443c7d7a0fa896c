// A line of text that fits its width: elided in the middle when it does not, with the whole text
// as its tooltip, rather than cut off at the edge.
#pragma once

#include <QLabel>
#include <QString>

namespace sensor {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void set_full_text(const QString& text);
    QString full_text() const { return full_; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    QString full_;
};

}  // namespace sensor
