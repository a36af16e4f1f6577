#pragma once

#include "terminal/view/TerminalView.hpp"

#include <QPointF>
#include <QPointer>

#include <optional>

class QLabel;
class QMouseEvent;
class QTimer;
class QWheelEvent;

namespace corvix {

// The view's pointer: mouse reports for the program, selection by clicks and drags with
// auto-scroll at the edges, the wheel, and links highlighted, previewed and opened under the
// pointer. It gets the left button's events only; the view passes the others on.
class TerminalMouseInput {
public:
    using MouseHit = TerminalView::MouseHit;

    explicit TerminalMouseInput(TerminalView& view);
    ~TerminalMouseInput();
    TerminalMouseInput(const TerminalMouseInput&) = delete;
    TerminalMouseInput& operator=(const TerminalMouseInput&) = delete;

    // A press of the left button; Qt's double-click event counts at least 2.
    void mousePress(const QMouseEvent& event, bool doubleClick);
    void mouseRelease(const QMouseEvent& event);
    void mouseDragged(const QMouseEvent& event);
    void mouseMoved(const QMouseEvent& event);
    // False when the event has nothing to scroll by: it goes on to the parent.
    bool wheel(const QWheelEvent& event);
    void leave();

    MouseHit calculateMouseHit(QPointF at);
    int encodeMouseEvent(const QMouseEvent& event, bool overwriteRelease) const;
    double scrollSensitivity() const { return scrollSensitivity_; }
    void setScrollSensitivity(double value);

    void updateHoverLink(Position at, std::optional<bool> commandOverride);
    void turnOffUrlPreview();
    // Ctrl went down or up; the hover links follow it.
    void modifierHoverChanged();
    bool hasTrackingInterest() const;
    void startTracking();
    void deregisterTrackingInterest();
    void mouseModeChanged(Terminal& source);

private:
    void mouseDown(const QMouseEvent& event, int clicks);
    // Counts a press towards a double, triple, ... click; Qt's double-click event is at least 2.
    int countClick(const QMouseEvent& event, bool doubleClick);
    // The program gets the event unless reporting is off, or Shift is held and the program did
    // not capture Shift: Shift lets the user select while the program takes the mouse.
    bool reportingApplies(Qt::KeyboardModifiers modifiers) const;
    // One report at the hit's screen cell (and pixel, for the SGR-pixel encoding).
    void sendMouseReport(int buttonFlags, const MouseHit& hit);
    void sharedMouseEvent(const QMouseEvent& event);
    void startSelectionAutoScrollTimer();
    void stopSelectionAutoScroll();
    void scrollingTimerElapsed();
    // Shows a payload's URL in the preview label, made on first use.
    void previewUrl(const QString& payload);
    // With Ctrl just pressed: the preview and the hover link of the cell under the pointer.
    void hoverUnderPointer();
    // Drops the hover highlight, redrawing its rows.
    void dropLinkHighlight();
    Terminal& terminal() const;

    TerminalView& view_;
    // Rows per auto-scroll tick; negative scrolls up.
    int autoScrollDelta_ = 0;
    QTimer* selectionAutoScrollTimer_ = nullptr;
    std::optional<QPointF> lastSelectionDragPoint_;
    QPointer<QLabel> urlPreview_;
    // Precise (touchpad) scroll distance in pixels not yet turned into lines.
    double scrollAccumulator_ = 0;
    double scrollSensitivity_ = 1.0;
    // The Ctrl hover is on: the key handling clears `commandActive` before the hover hears of it.
    bool commandHoverShown_ = false;
    int clickCount_ = 0;
    ulong lastClickTimestamp_ = 0;
    QPointF lastClickPoint_;
};

} // namespace corvix
