#pragma once

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <QString>

class QLabel;

namespace corvix {

class Terminal;
class TerminalView;

// A diagnostic overlay: the raw lines of a terminal view's active buffer with the cursor and
// viewport numbers. Hosts attach it by creating it; the application never does.
class TerminalDebugView : public QWidget {
    Q_OBJECT
public:
    // `terminal` must already have its engine.
    TerminalDebugView(const QRect& frame, TerminalView* terminal);

    // Refreshes the status line and redraws the lines.
    void update();
    QString statusText() const;
    // One buffer line as drawn: "[index:slot]" with "D"/"B" marks for yDisp and yBase, then
    // the cells.
    QString lineText(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<TerminalView> terminalView;
    Terminal* terminal;
    QFont font_;
    double height_;
    QLabel* dbg;
};

} // namespace corvix
