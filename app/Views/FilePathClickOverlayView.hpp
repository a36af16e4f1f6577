#pragma once

#include "app/Services/platform/PathExistenceChecking.hpp"
#include "app/Services/tiles/FileOpening.hpp"
#include "app/Views/FilePathHighlightScanner.hpp"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QTimer;

namespace corvix {
class TerminalView;
}

namespace brisvane {

// A transparent layer over a tile's terminal view, of the same frame. While Ctrl is held it
// boxes and underlines every path on screen that exists, stresses the one under the pointer, and
// a Ctrl-click on one opens it. Every other mouse event reaches the terminal view: with Ctrl up
// the layer is transparent to the mouse, and with Ctrl held whatever it does not open itself is
// handed on (so Ctrl-click on a link still opens the link). GUI thread only.
class FilePathClickOverlayView final : public QWidget {
    Q_OBJECT
public:
    using Highlight = FilePathHighlightScanner::Highlight;

    explicit FilePathClickOverlayView(QWidget* parent = nullptr);
    ~FilePathClickOverlayView() override;

    // The terminal view whose screen this covers, and to which unhandled events go. Not owned.
    void setTerminalView(corvix::TerminalView* view);
    corvix::TerminalView* terminalView() const { return terminalView_; }
    // The size of one cell, in this widget's pixels.
    double cellWidth = 1.0;
    double cellHeight = 1.0;
    // Takes the cell size from the terminal view, the one it draws and hit-tests with (its frame
    // divided by its grid would count its scroller and the unused remainder in); done at every
    // rescan, so a font change while Ctrl is held is followed.
    void syncCellSize();
    // Asked for the shell's folder at every scan and click.
    std::function<std::optional<QString>()> cwdProvider = [] { return std::optional<QString>(); };
    // The terminal view's own, given by the host's maker.
    QString homeDirectory;
    std::shared_ptr<const PathExistenceChecking> existenceChecker;
    std::shared_ptr<const FileOpening> fileOpener;
    // The keyboard's modifiers now; asked when the window or the focus changes.
    std::function<Qt::KeyboardModifiers()> queryKeyboardModifiers;

    bool isCommandDown() const { return isCommandDown_; }
    // On press: rescans at once and every 0.15 s after; on release: clears every highlight.
    void setCommandDown(bool down);
    // Rescans the visible rows while Ctrl is held and redraws only when the highlights change.
    void scanAndRedrawIfCommandDown();
    void clearAllHighlights();
    void updateHover(QPointF point);
    // The (row, column) of a point, if the cell size allows; no upper bound checked.
    std::optional<std::pair<int, int>> cellPosition(QPointF point) const;

    const QList<Highlight>& allHighlights() const { return allHighlights_; }
    const std::optional<Highlight>& hoverHighlight() const { return hoverHighlight_; }
    bool isHighlightTimerActive() const;
    bool isFlagsChangedMonitorInstalled() const { return flagsChangedMonitorInstalled_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void installFlagsChangedMonitorIfNeeded();
    void removeFlagsChangedMonitor();
    void startHighlightTimer();
    void stopHighlightTimer();
    void syncCommandDownFromKeyboard();
    void setHover(std::optional<Highlight> hover);
    // Hands the event to the terminal view's widget under the point; true when there was one.
    bool forwardToTerminalView(QEvent* event);
    bool openPathAt(QPointF point);

    QPointer<corvix::TerminalView> terminalView_;
    QList<Highlight> allHighlights_;
    std::optional<Highlight> hoverHighlight_;
    QTimer* highlightRefreshTimer_ = nullptr;
    FilePathHighlightScanner highlightScanner_;
    bool isCommandDown_ = false;
    void stackForCommandState();
    bool flagsChangedMonitorInstalled_ = false;
    // A press went on to the terminal view: its moves and release follow it there.
    QPointer<QWidget> forwardedPressTarget_;
};

} // namespace brisvane
