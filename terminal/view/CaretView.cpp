#include "terminal/view/CaretView.hpp"

#include "terminal/view/TerminalView.hpp"

#include <QPainter>
#include <QPalette>
#include <QVariantAnimation>

namespace corvix {

CaretView::CaretView(const QRect& frame, CursorStyle cursorStyle, TerminalView* terminal)
    : QWidget(terminal), terminal_(terminal), style_(cursorStyle)
{
    defaultCaretColor = palette().color(QPalette::Active, QPalette::Highlight);
    caretColor_ = defaultCaretColor;
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(frame);
    update();
}

void CaretView::setStyle(CursorStyle style)
{
    style_ = style;
    update();
}

void CaretView::setCaretColor(const QColor& color)
{
    caretColor_ = color;
    update();
}

void CaretView::setText(const CharData& ch)
{
    glyphColumnWidth_ = std::max<int>(ch.width, 1);
    update();
}

void CaretView::updateAnimation(bool blink)
{
    if (!blink) {
        removeAnimations();
        return;
    }
    if (isAnimating()) return;
    if (!blink_) {
        // 0.7 s out, 0.7 s back, for ever.
        blink_ = new QVariantAnimation(this);
        blink_->setDuration(1400);
        blink_->setKeyValueAt(0.0, 1.0);
        blink_->setKeyValueAt(0.5, 0.0);
        blink_->setKeyValueAt(1.0, 1.0);
        blink_->setEasingCurve(QEasingCurve::InQuad);
        blink_->setLoopCount(-1);
        connect(blink_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            opacity_ = value.toDouble();
            update();
        });
    }
    blink_->start();
}

void CaretView::removeAnimations()
{
    if (blink_) blink_->stop();
    opacity_ = 1.0;
    update();
}

bool CaretView::isAnimating() const
{
    return blink_ && blink_->state() == QAbstractAnimation::Running;
}

void CaretView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setOpacity(opacity_);
    const bool hasFocus = !tracksFocus || (terminal_ && terminal_->hasFocus());
    if (hasFocus) {
        painter.fillRect(rect(), caretColor_);
    } else {
        painter.setPen(caretColor_);
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

} // namespace corvix
