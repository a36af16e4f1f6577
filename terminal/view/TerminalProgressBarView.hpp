#pragma once

#include "terminal/engine/TerminalTypes.hpp"

#include <QColor>
#include <QWidget>

#include <cstdint>
#include <optional>

class QPropertyAnimation;
class QSequentialAnimationGroup;

namespace corvix {

// The 2-point strip along the top edge that shows a program's progress report: a faint track and
// a coloured bar, whose length is the percentage, or a quarter-width segment sweeping back and
// forth when there is no percentage. Hidden while there is no report; clicks pass through.
class TerminalProgressBarView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QRectF barRect READ barRect WRITE setBarRect)
public:
    static constexpr double kBarWidthRatio = 0.25;
    static constexpr int kIndeterminateDurationMs = 1200;
    static constexpr int kDeterminateDurationMs = 200;

    explicit TerminalProgressBarView(QWidget* parent);

    // Shows a report; `remove` hides the bar.
    void apply(ProgressReportState state, std::optional<uint8_t> progress);

    ProgressReportState state() const { return state_; }
    std::optional<uint8_t> progress() const { return progress_; }
    // The colour of the bar in a state; the track is the same at alpha 0.3.
    QColor barColor() const;
    bool trackVisible() const { return trackVisible_; }
    bool isSweeping() const;
    QRectF barRect() const { return barRect_; }
    void setBarRect(const QRectF& rect);
    // Where the bar is headed: the end of a running length change or sweep, else where it is.
    QRectF targetBarRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showDeterminate(uint8_t progress, bool animated);
    void showIndeterminate();
    void stopSweep();

    ProgressReportState state_ = ProgressReportState::remove;
    std::optional<uint8_t> progress_;
    bool trackVisible_ = false;
    QRectF barRect_;
    QPropertyAnimation* lengthAnimation_ = nullptr;
    QSequentialAnimationGroup* sweep_ = nullptr;
};

} // namespace corvix
