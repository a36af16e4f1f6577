#pragma once

#include "app/Services/platform/PathExistenceChecking.hpp"
#include "app/Services/tiles/FileOpening.hpp"
#include "terminal/view/LocalProcessTerminalView.hpp"

#include <QDateTime>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>

class QWheelEvent;

namespace brisvane {

// The terminal of a tile: runs the tile's shell like its base, but output no longer yanks a
// user who reads back in the scroll-back to the bottom (a view at or near the bottom still
// follows), and links open by the application's rules: web and mail links as they are, files
// and folders only when they exist, anything else not at all.
class BrisvaneTerminalView : public corvix::LocalProcessTerminalView {
    Q_OBJECT
public:
    explicit BrisvaneTerminalView(const QRect& frame, QWidget* parent = nullptr);
    // A tile's widget over the session its controller owns.
    BrisvaneTerminalView(std::shared_ptr<corvix::LocalProcessSession> session, const QRect& frame,
                         std::optional<QFont> font = std::nullopt, QWidget* parent = nullptr);
    ~BrisvaneTerminalView() override;

    // The system's monospaced font at `pointSize`.
    static QFont terminalFont(double pointSize);
    // Takes terminalFont(pointSize); nothing changes when it is the size already.
    void applyFontSize(double pointSize);

    // Given by the view's maker before it is shown or fed.
    // Base of "~" and of the Desktop and Downloads fallbacks when opening paths.
    QString homeDirectory;
    std::shared_ptr<const PathExistenceChecking> existenceChecker;
    std::shared_ptr<const FileOpening> fileOpener;
    // The clock of the scroll rule.
    std::function<QDateTime()> now;

    // The latest wheel turn over this view; only ever moves forward.
    std::optional<QDateTime> lastUserScrollDate() const { return lastUserScrollDate_; }
    // Whether wheel turns are being watched: exactly while the view is shown.
    bool isScrollWheelMonitorInstalled() const { return scrollWheelMonitorInstalled_; }

    // Feeds the chunk, then takes the view to the bottom unless the user is reading back.
    void dataReceived(std::span<const uint8_t> slice) override;
    // Opens the link as `TerminalLinkNormalizer::action` decides, relative paths against the
    // shell's current folder.
    void requestOpenLink(corvix::TerminalView& source, const QString& link,
                         const std::map<QString, QString>& params) override;

    // The terminal's own colours changed (OSC 10/11): the scroller follows them.
    void setForegroundColor(corvix::Terminal& source, const corvix::Color& color) override;
    void setBackgroundColor(corvix::Terminal& source, const corvix::Color& color) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The scroller in the terminal's colours: its track the background, its handle a mix of
    // foreground and background, rather than the platform's light bar on the terminal's black.
    void colorScroller();
    void installScrollWheelMonitorIfNeeded();
    void removeScrollWheelMonitor();
    // Stamps a wheel turn that lands on this view in its own window, wherever it is delivered.
    void recordUserScrollIfWithinBounds(QObject* receiver, const QWheelEvent& event);

    std::optional<QDateTime> lastUserScrollDate_;
    bool scrollWheelMonitorInstalled_ = false;
};

} // namespace brisvane
