#include "terminal/view/TerminalProgressBarView.hpp"

#include <QPainter>
#include <QPalette>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>

namespace corvix {

namespace {

const QColor kErrorColor(0xff, 0x3b, 0x30);
const QColor kPauseColor(0xff, 0x95, 0x00);

} // namespace

TerminalProgressBarView::TerminalProgressBarView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    hide();
}

QColor TerminalProgressBarView::barColor() const
{
    switch (state_) {
    case ProgressReportState::error: return kErrorColor;
    case ProgressReportState::pause: return kPauseColor;
    default: return palette().color(QPalette::Active, QPalette::Highlight);
    }
}

void TerminalProgressBarView::apply(ProgressReportState state, std::optional<uint8_t> progress)
{
    state_ = state;
    progress_ = progress;
    setVisible(state != ProgressReportState::remove);
    if (state == ProgressReportState::remove) {
        stopSweep();
        return;
    }
    if (progress) {
        showDeterminate(*progress, true);
    } else {
        showIndeterminate();
    }
    update();
}

void TerminalProgressBarView::showDeterminate(uint8_t progress, bool animated)
{
    trackVisible_ = false;
    stopSweep();
    // Above 100 the bar runs past the edge and is cut there by the clip.
    const QRectF target(0, 0, width() * progress / 100.0, height());
    if (!lengthAnimation_) {
        lengthAnimation_ = new QPropertyAnimation(this, "barRect", this);
        lengthAnimation_->setDuration(kDeterminateDurationMs);
        lengthAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    }
    lengthAnimation_->stop();
    if (!animated) {
        setBarRect(target);
        return;
    }
    lengthAnimation_->setStartValue(barRect_);
    lengthAnimation_->setEndValue(target);
    lengthAnimation_->start();
}

void TerminalProgressBarView::showIndeterminate()
{
    trackVisible_ = true;
    if (lengthAnimation_) lengthAnimation_->stop();
    const double segment = width() * kBarWidthRatio;
    setBarRect(QRectF(0, 0, segment, height()));
    stopSweep();
    if (!(segment > 0 && segment < width())) return;
    // Back and forth, each way 1.2 s with ease-in-ease-out, for ever.
    sweep_ = new QSequentialAnimationGroup(this);
    for (const auto& [from, to] : {std::pair{0.0, width() - segment}, std::pair{width() - segment, 0.0}}) {
        auto* leg = new QPropertyAnimation(this, "barRect", sweep_);
        leg->setDuration(kIndeterminateDurationMs);
        leg->setEasingCurve(QEasingCurve::InOutQuad);
        leg->setStartValue(QRectF(from, 0, segment, height()));
        leg->setEndValue(QRectF(to, 0, segment, height()));
        sweep_->addAnimation(leg);
    }
    sweep_->setLoopCount(-1);
    sweep_->start();
}

void TerminalProgressBarView::stopSweep()
{
    if (!sweep_) return;
    sweep_->stop();
    sweep_->deleteLater();
    sweep_ = nullptr;
}

bool TerminalProgressBarView::isSweeping() const
{
    return sweep_ && sweep_->state() == QAbstractAnimation::Running;
}

void TerminalProgressBarView::setBarRect(const QRectF& rect)
{
    barRect_ = rect;
    update();
}

QRectF TerminalProgressBarView::targetBarRect() const
{
    if (lengthAnimation_ && lengthAnimation_->state() == QAbstractAnimation::Running)
        return lengthAnimation_->endValue().toRectF();
    return barRect_;
}

void TerminalProgressBarView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isHidden()) return;
    if (progress_) {
        showDeterminate(*progress_, false);
    } else {
        showIndeterminate();
    }
}

void TerminalProgressBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor color = barColor();
    if (trackVisible_) {
        QColor track = color;
        track.setAlphaF(0.3f);
        painter.fillRect(rect(), track);
    }
    painter.fillRect(barRect_.intersected(QRectF(rect())), color);
}

} // namespace corvix
