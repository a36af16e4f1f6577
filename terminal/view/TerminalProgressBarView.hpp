#pragma once

#include <QWidget>

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
};

} // namespace corvix
