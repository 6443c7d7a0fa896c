// The cheap text box: what a read-only line edit draws, prepared once and replayed per paint.
#include "panel/window/cell_box.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPaintEvent>
#include <QStyle>
#include <QStyleOptionFrame>

#include <memory>

#include "panel/window/cell_box_accessible.h"

namespace sensor {
namespace {

// The room a line edit leaves between its contents rectangle and its text line.
constexpr int kHorizontalMargin = 2;

}  // namespace

CellBox::CellBox(QWidget* parent) : QWidget(parent) {
    static const bool accessible = [] {
        QAccessible::installFactory(&accessible_cell_box);
        return true;
    }();
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    // The cached picture covers every pixel, so nothing behind a cell is painted with it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_MacShowFocusRect);
    layout_.setCacheEnabled(true);
    raw_font_ = QRawFont::fromFont(font());
    glyphs_.setRawFont(raw_font_);
    measure();
}

void CellBox::setText(const QString& text) {
    if (text == text_) return;
    const QString before = text_;
    text_ = text;
    // A long value does not fit its cell; its whole text is a hover away.
    setToolTip(text_);
    const QRect old_ink = ink_;
    lay_out();
    // A text that fits repaints only where the old and the new text lie.
    update(old_ink | ink_);
    // A reader follows the cell it is on; the others change up to sixteen times a second each,
    // more than anyone can listen to, and are read when the reader gets to them.
    if (QAccessible::isActive() && hasFocus()) {
        QAccessibleTextUpdateEvent event(this, 0, before, text_);
        QAccessible::updateAccessibility(&event);
    }
    emit textChanged(text_);
}

void CellBox::set_stale(bool stale) {
    if (stale == stale_) return;
    stale_ = stale;
    update(clip_);
}

void CellBox::frame_option(QStyleOptionFrame* option) const {
    option->initFrom(this);
    option->rect = contentsRect();
    option->lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, option, this);
    option->midLineWidth = 0;
    option->state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    option->features = QStyleOptionFrame::None;
}

void CellBox::measure() {
    QStyleOptionFrame option;
    frame_option(&option);
    clip_ = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const QFontMetrics metrics = fontMetrics();
    line_height_ = metrics.height();
    ascent_ = metrics.ascent();
    band_ = QRect(clip_.x(), clip_.y() + (clip_.height() - line_height_ + 1) / 2, clip_.width(), line_height_) & clip_;
    ink_ = clip_;
    lay_out();
}

// Places the text where a read-only line edit with centred alignment, showing its text from the
// start, places it: centred when it fits, from the left edge when it does not.
void CellBox::lay_out() {
    const QList<quint32> indexes = raw_font_.isValid() ? raw_font_.glyphIndexesForString(text_) : QList<quint32>();
    shaped_ = !raw_font_.isValid() || indexes.contains(0u) || indexes.size() != text_.size();

    int line_height = line_height_;
    qreal width = 0;
    int ascent = ascent_;
    if (!shaped_) {
        const QList<QPointF> advances = raw_font_.advancesForGlyphIndexes(indexes, QRawFont::KernedAdvances);
        positions_.clear();
        for (const QPointF& advance : advances) {
            positions_.append(QPointF(width, 0));
            width += advance.x();
        }
        glyphs_.setGlyphIndexes(indexes);
        glyphs_.setPositions(positions_);
        layout_.clearLayout();
    } else {
        // Other fonts stand in for the missing glyphs; their heights count, as in a line edit.
        const QFontMetrics metrics = fontMetrics();
        line_height = std::max(metrics.boundingRect(text_).height(), line_height);
        layout_.setText(text_);
        layout_.setFont(font());
        layout_.beginLayout();
        const QTextLine line = layout_.createLine();
        layout_.endLayout();
        width = line.naturalTextWidth();
        ascent = qRound(line.ascent());
    }
    const int top = clip_.y() + (clip_.height() - line_height + 1) / 2;
    const QRect line(clip_.x() + kHorizontalMargin, top, clip_.width() - 2 * kHorizontalMargin, line_height);
    const int used = qRound(width) + 1;
    const int scroll = used <= line.width() ? (used - line.width()) / 2 : 0;
    // The baseline stays where the cell's own font puts it, whatever font stands in.
    origin_ = QPoint(line.x() - scroll, line.y() - (ascent - ascent_));
    baseline_ = line.y() + ascent_;
    // A text of the font's own glyphs lies within the band; wider than the line, it is cut at the
    // text's room as a line edit cuts it. The margins take a glyph's overhang past its advance.
    const bool in_band = !shaped_ && band_.contains(line);
    fits_ = in_band && used <= line.width();
    ink_ = !in_band ? clip_
           : fits_  ? QRect(origin_.x() - kHorizontalMargin, line.y(), used + 2 * kHorizontalMargin, line.height()) & band_
                    : band_;
}

void CellBox::look_changed() {
    background_ = QPixmap();
    update();
}

void CellBox::paintEvent(QPaintEvent* event) {
    if (background_.isNull()) {
        const qreal ratio = devicePixelRatioF();
        background_ = QPixmap(size() * ratio);
        background_.setDevicePixelRatio(ratio);
        // What lies outside the frame's rounded corners is the panel's own background.
        background_.fill(palette().color(QPalette::Window));
        {
            QPainter painter(&background_);
            QStyleOptionFrame option;
            frame_option(&option);
            style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
        }
        const QImage picture = background_.toImage();
        const QRect base = QRectF(band_.x() * ratio, band_.y() * ratio, band_.width() * ratio, band_.height() * ratio)
                               .toAlignedRect();
        base_colour_ = picture.pixelColor(base.topLeft());
        plain_base_ = picture.rect().contains(base);
        for (int y = base.top(); plain_base_ && y <= base.bottom(); ++y)
            for (int x = base.left(); plain_base_ && x <= base.right(); ++x)
                plain_base_ = picture.pixel(x, y) == picture.pixel(base.topLeft());
    }
    QPainter painter(this);
    // Most paints are of the text's rectangle only; the rest of the picture stays as it was.
    const QRect dirty = event->rect();
    if (plain_base_ && band_.contains(dirty)) {
        painter.fillRect(dirty, base_colour_);
    } else {
        const qreal ratio = background_.devicePixelRatio();
        painter.drawPixmap(dirty, background_,
                           QRectF(dirty.x() * ratio, dirty.y() * ratio, dirty.width() * ratio, dirty.height() * ratio));
    }
    if (text_.isEmpty()) return;
    const QPalette::ColorGroup group = !isEnabled() || stale_ ? QPalette::Disabled
                                       : isActiveWindow()     ? QPalette::Active
                                                              : QPalette::Inactive;
    if (!fits_) painter.setClipRect(clip_, Qt::IntersectClip);
    painter.setPen(palette().color(group, QPalette::Text));
    if (shaped_)
        layout_.draw(&painter, origin_);
    else
        painter.drawGlyphRun(QPointF(origin_.x(), baseline_), glyphs_);
}

void CellBox::resizeEvent(QResizeEvent* event) {
    measure();
    background_ = QPixmap();
    QWidget::resizeEvent(event);
}

void CellBox::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::StyleChange:
            raw_font_ = QRawFont::fromFont(font());
            glyphs_.setRawFont(raw_font_);
            measure();
            look_changed();
            break;
        case QEvent::PaletteChange:
        case QEvent::EnabledChange:
        case QEvent::ActivationChange:
            look_changed();
            break;
        default:
            break;
    }
    QWidget::changeEvent(event);
}

// The style draws a focused box's frame differently.
void CellBox::focusInEvent(QFocusEvent* event) {
    look_changed();
    QWidget::focusInEvent(event);
}

void CellBox::focusOutEvent(QFocusEvent* event) {
    look_changed();
    QWidget::focusOutEvent(event);
}

void CellBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

QMenu* CellBox::create_context_menu() {
    auto* menu = new QMenu(this);
    QAction* copy_action = menu->addAction(tr("&Copy"));
    copy_action->setShortcut(QKeySequence::Copy);
    copy_action->setEnabled(!text_.isEmpty());
    connect(copy_action, &QAction::triggered, this, &CellBox::copy);
    return menu;
}

void CellBox::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(create_context_menu());
    menu->exec(event->globalPos());
}

void CellBox::copy() const {
    if (!text_.isEmpty()) QApplication::clipboard()->setText(text_);
}

QSize CellBox::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(QLatin1Char('x')) * 17, metrics.height() + 6};
}

}  // namespace sensor
