#include "terminal/view/CaretView.hpp"

#include "terminal/screen/UnicodeUtil.hpp"
#include "terminal/view/PowerlineRenderer.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QVariantAnimation>

#include <cmath>

namespace corvix {

namespace {

constexpr double kThinCaret = 2.0;
constexpr double kOutlineWidth = 3.0;

QString toQString(const std::u32string& text)
{
    return QString::fromUcs4(text.data(), qsizetype(text.size()));
}

} // namespace

CaretView::CaretView(const QRect& frame, CursorStyle cursorStyle, TerminalView* terminal)
    : QWidget(terminal), terminal_(terminal), style_(cursorStyle)
{
    defaultCaretColor = palette().color(QPalette::Active, QPalette::Highlight);
    caretColor_ = defaultCaretColor;
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
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
    powerlineCodePoint_.reset();
    if (PowerlineRenderer::glyph(uint32_t(ch.code))) powerlineCodePoint_ = uint32_t(ch.code);
    QString text = QStringLiteral(" ");
    QFont font;
    if (terminal_) {
        Terminal& terminal = terminal_->getTerminal();
        if (ch.code != 0) {
            const std::u32string chars = terminal.character(ch.code);
            QString utf = toQString(chars);
            text = QString::fromStdString(UnicodeUtil::textPresentationAdjusted(utf.toStdString()));
        }
        // Only the face matters here; the colours are chosen when drawing.
        const Attribute& a = ch.attribute;
        const bool bold = a.style.contains(CharacterStyle::bold);
        const bool italic = a.style.contains(CharacterStyle::italic);
        font = terminal_->fonts().face(bold && italic ? FontFace::boldItalic
                                       : bold         ? FontFace::bold
                                       : italic       ? FontFace::italic
                                                      : FontFace::normal);
    }
    line_ = TerminalView::cachedCTLine(text, font);
    hasLine_ = true;
    update();
}

void CaretView::updateAnimation(bool blink)
{
    removeAnimations();
    if (!blink) return;
    if (!blink_) {
        blink_ = new QVariantAnimation(this);
        blink_->setDuration(1400);
        // Out and back, each half easing in, as a reversing 0.7 s fade does.
        blink_->setStartValue(0.0);
        blink_->setEndValue(2.0);
        blink_->setLoopCount(-1);
        connect(blink_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            const double t = value.toDouble();
            const QEasingCurve easeIn(QEasingCurve::InQuad);
            const double opacity = t <= 1.0 ? 1.0 - easeIn.valueForProgress(t) : 1.0 - easeIn.valueForProgress(2.0 - t);
            // Sixteen steps look as smooth as every frame, and a dashboard of idle tiles then
            // repaints a few times per fade rather than at the display's rate.
            const double stepped = std::round(opacity * 16.0) / 16.0;
            if (stepped == opacity_) return;
            opacity_ = stepped;
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
    drawCursor(painter, !tracksFocus || (terminal_ && terminal_->hasFocus()));
}

void CaretView::drawCursor(QPainter& painter, bool hasFocus)
{
    if (!hasLine_ || !terminal_) return;
    painter.save();
    const QRectF bounds = rect();
    painter.setClipRect(bounds);
    if (!hasFocus) {
        // Half of the 3-point line falls inside the clip, as an outline of the cell.
        painter.setPen(QPen(caretColor_, kOutlineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bounds);
        painter.restore();
        return;
    }
    switch (style_) {
    case CursorStyle::blinkUnderline:
    case CursorStyle::steadyUnderline:
        painter.fillRect(QRectF(0, bounds.height() - kThinCaret, bounds.width(), kThinCaret), caretColor_);
        painter.restore();
        return;
    case CursorStyle::blinkBar:
    case CursorStyle::steadyBar:
        painter.fillRect(QRectF(0, 0, kThinCaret, bounds.height()), caretColor_);
        painter.restore();
        return;
    case CursorStyle::blinkBlock:
    case CursorStyle::steadyBlock:
        break;
    }
    painter.fillRect(bounds, caretColor_);

    const QColor textColor = caretTextColor.value_or(terminal_->nativeForegroundColor());
    if (terminal_->customBlockGlyphs() && powerlineCodePoint_) {
        const double scale = devicePixelRatioF();
        PowerlineRenderer::draw(*powerlineCodePoint_, painter, bounds, {scale, scale}, textColor);
        painter.restore();
        return;
    }

    // The baseline sits ceil(descent + leading) above the bottom, as on the screen.
    const QFontMetricsF& metrics = terminal_->faceMetrics(FontFace::normal);
    const double baseline = bounds.height() - std::ceil(metrics.descent() + metrics.leading());
    painter.setPen(textColor);
    for (const QGlyphRun& run : line_) {
        const QList<quint32> glyphs = run.glyphIndexes();
        QList<QPointF> positions = run.positions();
        QList<GlyphSlotFit> fits;
        bool allNatural = true;
        for (qsizetype i = 0; i < glyphs.size(); i++) {
            const GlyphSlotFit fit = glyphColumnWidth_ >= 2
                ? terminal_->glyphSlotFit(run.rawFont(), glyphs[i], glyphColumnWidth_)
                : GlyphSlotFit{};
            fits.push_back(fit);
            allNatural = allNatural && fit.scale == 1.0;
        }
        if (allNatural) {
            QGlyphRun moved = run;
            for (qsizetype i = 0; i < positions.size(); i++)
                positions[i] = QPointF(positions[i].x() + fits[i].dx, fits[i].dy);
            moved.setPositions(positions);
            painter.drawGlyphRun(QPointF(0, baseline), moved);
            continue;
        }
        for (qsizetype i = 0; i < glyphs.size(); i++) {
            QRawFont font = run.rawFont();
            font.setPixelSize(font.pixelSize() * fits[i].scale);
            QGlyphRun one;
            one.setRawFont(font);
            one.setGlyphIndexes({glyphs[i]});
            one.setPositions({QPointF(0, 0)});
            painter.drawGlyphRun(QPointF(positions[i].x() * fits[i].scale + fits[i].dx, baseline + fits[i].dy), one);
        }
    }
    painter.restore();
}

} // namespace corvix
