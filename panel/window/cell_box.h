// A read-only text box that is cheap to repaint: the platform's line-edit frame drawn once into a
// cached picture, the text's glyphs looked up once per change, and only a changed cell repainted. To the
// user it is a text box: focus and tab order, tooltip, Ctrl+C, a Copy menu, a screen reader's view.
#pragma once

#include <QGlyphRun>
#include <QPixmap>
#include <QRawFont>
#include <QTextLayout>
#include <QString>
#include <QWidget>

class QMenu;
class QStyleOptionFrame;

namespace sensor {

class CellBox : public QWidget {
    Q_OBJECT
public:
    explicit CellBox(QWidget* parent = nullptr);

    QString text() const { return text_; }
    // Repaints only when the text differs; the whole text is also the tooltip.
    void setText(const QString& text);
    // The panel's cells centre their text, as its text boxes do.
    Qt::Alignment alignment() const { return Qt::AlignHCenter | Qt::AlignVCenter; }

    // A reading older than the line's news is drawn as disabled text, the box itself unchanged.
    void set_stale(bool stale);
    bool stale() const { return stale_; }

    // The menu a right click opens: Copy. The caller owns it.
    QMenu* create_context_menu();
    void copy() const;

    // Where the text is drawn, in the cell's coordinates (also what a screen reader is told).
    QRect text_rect() const { return clip_; }
    QPoint text_origin() const { return origin_; }

    QSize sizeHint() const override;

signals:
    void textChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void frame_option(QStyleOptionFrame* option) const;
    // What depends on the size, style and font only: the text's room and the font's measures.
    void measure();
    void lay_out();
    void look_changed();

    QString text_;
    // The text as glyphs of the font itself: no shaping, which these cells' texts (numbers,
    // "ERR", "black") do not need. A text the font has no glyph for is laid out in full instead.
    QRawFont raw_font_;
    QGlyphRun glyphs_;
    QList<QPointF> positions_;  // reused from text to text
    QTextLayout layout_;
    bool shaped_ = false;  // drawn from layout_ rather than glyphs_
    QPoint origin_;  // top-left of the text, placed as a centred line edit places it
    int baseline_ = 0;
    QRect clip_;
    int line_height_ = 0;  // the font's, as measured once per font
    int ascent_ = 0;
    QRect band_;  // the text line's height across clip_: where any text that fits lies
    bool fits_ = true;  // the text lies wholly inside its line, so painting it needs no clipping
    QRect ink_;  // what a repaint of the text covers: around the text, the band, or all of clip_
    QPixmap background_;  // frame and base as the style draws them; empty when it must be redrawn
    // Where the style draws the base under the text line in one colour, a text-only repaint
    // fills it rather than copying it from the picture.
    bool plain_base_ = false;
    QColor base_colour_;
    bool stale_ = false;
};

}  // namespace sensor
