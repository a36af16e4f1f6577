#pragma once

#include "app/Models/TerminalTile.hpp"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace corvix {
class LocalProcessTerminalView;
class TerminalView;
}

namespace brisvane {

class FilePathClickOverlayView;
class TerminalFileDropContainerView;

// Places a tile's existing terminal view, owned by its tile view, into a tile: inside a drop
// container that turns dropped files into typed text, under the Ctrl path overlay, inset from the
// host's edges. The terminal view outlives any number of hosts: a new host takes it over, and a
// host that still holds it when destroyed hands it back unparented and hidden (its process keeps
// running). Never moves the keyboard focus. GUI thread only.
class TerminalHostView final : public QWidget {
    Q_OBJECT
public:
    explicit TerminalHostView(corvix::LocalProcessTerminalView* terminalView, QWidget* parent = nullptr);
    ~TerminalHostView() override;

    // Margins around the terminal view; a host smaller than twice them leaves the view's frame
    // as it was.
    void setInsets(double horizontal, double vertical);
    // Handed to the overlay.
    void setCwdProvider(std::function<std::optional<QString>()> cwdProvider);
    // A closed tile refuses drops.
    void setLifecycle(const TerminalTileLifecycle& lifecycle);

    corvix::LocalProcessTerminalView* terminalView() const { return terminalView_; }
    TerminalFileDropContainerView* container() const { return container_; }
    FilePathClickOverlayView* overlay() const { return overlay_; }

    // Lays the overlay over the terminal view with its cell size and rescans if Ctrl is held.
    static void applyOverlay(FilePathClickOverlayView& overlay, corvix::TerminalView& terminalView,
                             std::function<std::optional<QString>()> cwdProvider);

signals:
    // The container's drops, for as long as the tile is open.
    void textDropped(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Brings the container, the terminal view and the overlay up to date with the inputs.
    void updateContainer();
    void applyFrames();

    QPointer<corvix::LocalProcessTerminalView> terminalView_;
    TerminalFileDropContainerView* container_ = nullptr;
    FilePathClickOverlayView* overlay_ = nullptr;
    double horizontalInset_ = 10;
    double verticalInset_ = 10;
    std::function<std::optional<QString>()> cwdProvider_;
    TerminalTileLifecycle lifecycle_ = TerminalTileLifecycle::shellOnly();
};

} // namespace brisvane
