#include "terminal/view/CaretView.hpp"

#include "terminal/screen/UnicodeUtil.hpp"
#include "terminal/view/PowerlineRenderer.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace corvix {

namespace {

constexpr double kThinCaret = 2.0;
constexpr double kOutlineWidth = 3.0;

// The blink: out and back in 1.4 s, each half easing in, as a reversing 0.7 s fade does, shown
// in eight steps of opacity: a fade to the eye, yet a dashboard of blinking carets repaints only
// about eleven times a second.
constexpr double kHalfCycleMs = 700.0;
constexpr double kSteps = 8.0;

double blinkOpacity(double phaseMs)
{
    const double u = phaseMs / kHalfCycleMs;
    const double x = u <= 1.0 ? u : 2.0 - u;
    return std::round((1.0 - x * x) * kSteps) / kSteps;
}

// The phase (0 ... 2 x kHalfCycleMs, or past it into the next cycle) at which the step shown at
// `phaseMs` next changes: where the eased opacity crosses half a step.
double nextBlinkStepPhase(double phaseMs)
{
    const double u = phaseMs / kHalfCycleMs;
    const double step = blinkOpacity(phaseMs) * kSteps;
    if (u < 1.0 && step > 0.0) return kHalfCycleMs * std::sqrt(1.0 - (step - 0.5) / kSteps);
    if (step < kSteps) return kHalfCycleMs * (2.0 - std::sqrt(1.0 - (std::max(step, 0.0) + 0.5) / kSteps));
    return kHalfCycleMs * (2.0 + std::sqrt(1.0 - (kSteps - 0.5) / kSteps));
}

QPointer<CaretBlinkClock> sharedClock;

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
    setAttribute(Qt::WA_OpaquePaintEvent);
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
    // The cell beneath may have changed with it, where the terminal view did not repaint.
    textChanges_++;
    update();
}

CaretView::~CaretView()
{
    // A caret outliving the application finds no clock and makes none.
    if (sharedClock) sharedClock->remove(this);
}

void CaretView::updateAnimation(bool blink)
{
    removeAnimations();
    if (blink) CaretBlinkClock::shared().add(this);
}

void CaretView::setBlinkOpacity(double opacity)
{
    if (opacity == opacity_) return;
    opacity_ = opacity;
    update();
}

void CaretView::removeAnimations()
{
    CaretBlinkClock::shared().remove(this);
    opacity_ = 1.0;
    update();
}

bool CaretView::isAnimating() const
{
    return CaretBlinkClock::shared().contains(this);
}

CaretBlinkClock& CaretBlinkClock::shared()
{
    // Owned by the application, so that its timer goes before the event loop does.
    if (!sharedClock) sharedClock = new CaretBlinkClock(QCoreApplication::instance());
    return *sharedClock;
}

CaretBlinkClock::CaretBlinkClock(QObject* parent) : QObject(parent), timer_(new QTimer(this))
{
    timer_->setSingleShot(true);
    // A coarse timer may fire early, before the shade changes, and so wake twice per step.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &CaretBlinkClock::advance);
}

void CaretBlinkClock::add(CaretView* caret)
{
    if (!contains(caret)) carets_.push_back(caret);
    epoch_.start();
    opacity_ = 1.0;
    for (CaretView* c : carets_) c->setBlinkOpacity(opacity_);
    advance();
}

void CaretBlinkClock::remove(CaretView* caret)
{
    std::erase(carets_, caret);
    if (carets_.empty()) timer_->stop();
}

bool CaretBlinkClock::contains(const CaretView* caret) const
{
    return std::find(carets_.begin(), carets_.end(), caret) != carets_.end();
}

void CaretBlinkClock::advance()
{
    if (carets_.empty()) return;
    const double cycle = 2.0 * kHalfCycleMs;
    const double phase = std::fmod(double(epoch_.nsecsElapsed()) / 1e6, cycle);
    const double stepped = blinkOpacity(phase);
    if (stepped != opacity_) {
        opacity_ = stepped;
        for (CaretView* c : carets_) c->setBlinkOpacity(opacity_);
    }
    timer_->start(std::max(1, int(std::ceil(nextBlinkStepPhase(phase) - phase))));
}

void CaretView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!terminal_) return;
    const bool hasFocus = !tracksFocus || terminal_->hasFocus();
    const double scale = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * scale).toSize();
    // The cell as the terminal view draws it; kept until the view paints again or the caret
    // moves, so that the blink does not lay out the row at every step.
    const BeneathKey beneathKey{geometry(), scale, terminal_->paintCount(), textChanges_};
    if (beneath_.isNull() || beneathKey != beneathKey_) {
        beneath_ = QPixmap(pixels);
        beneath_.setDevicePixelRatio(scale);
        QPainter cell(&beneath_);
        cell.translate(-pos());
        terminal_->drawTerminalContents(geometry(), cell, terminal_->getTerminal().buffer().yDisp());
        beneathKey_ = beneathKey;
    }
    const QColor textColor = caretTextColor.value_or(terminal_->nativeForegroundColor());
    const FaceKey faceKey{size(), scale, hasFocus, style_, caretColor_.rgba(), textColor.rgba(), textChanges_};
    if (face_.isNull() || faceKey != faceKey_) {
        face_ = QPixmap(pixels);
        face_.setDevicePixelRatio(scale);
        face_.fill(Qt::transparent);
        QPainter caret(&face_);
        drawCursor(caret, hasFocus);
        faceKey_ = faceKey;
    }
    painter.drawPixmap(0, 0, beneath_);
    painter.setOpacity(opacity_);
    painter.drawPixmap(0, 0, face_);
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
                positions[i] += QPointF(fits[i].dx, fits[i].dy);
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
            painter.drawGlyphRun(positions[i] * fits[i].scale + QPointF(fits[i].dx, baseline + fits[i].dy), one);
        }
    }
    painter.restore();
}

} // namespace corvix
