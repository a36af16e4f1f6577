#pragma once

#include "terminal/engine/TerminalTypes.hpp"

#include <QWidget>

#include <cstdint>
#include <optional>

namespace corvix {

// The strip along the top edge that shows a program's progress report. Hidden until a report
// arrives.
class TerminalProgressBarView : public QWidget {
    Q_OBJECT
public:
    explicit TerminalProgressBarView(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

    // Shows a report's state and value; `remove` hides the bar.
    void apply(ProgressReportState state, std::optional<uint8_t> progress)
    {
        state_ = state;
        progress_ = progress;
        setVisible(state != ProgressReportState::remove);
        update();
    }

    ProgressReportState state() const { return state_; }
    std::optional<uint8_t> progress() const { return progress_; }

private:
    ProgressReportState state_ = ProgressReportState::remove;
    std::optional<uint8_t> progress_;
};

} // namespace corvix
