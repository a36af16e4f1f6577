#pragma once

#include "app/Models/TerminalTile.hpp"
#include "app/Services/sessions/SessionStateAppearance.hpp"

#include <QColor>
#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QMimeData;
class QPushButton;
class QAction;
class QVariantAnimation;
class QGraphicsOpacityEffect;

namespace brisvane {

class ColorDot;

class BrisvaneTerminalView;
class TerminalGpuSwitch;
class FileOpening;
class PathExistenceChecking;
class TerminalHostView;
class TerminalProcessController;

// One terminal tile of the dashboard's grid: a header with the session's state, project and
// model and three controls, and below it the tile's live terminal. The terminal session belongs
// to the controller; this widget makes the terminal widget that shows it, so it may be rebuilt at
// will. It changes nothing itself: its effects go through the three callbacks. GUI thread only.
class TerminalTileView final : public QWidget {
    Q_OBJECT
public:
    // Without a controller a placeholder stands where the terminal would be. The controller may
    // be destroyed while this widget lives: its session stays with the terminal widget until the
    // controller is taken away here.
    TerminalTileView(const TerminalTile& tile, TerminalProcessController* controller, QWidget* parent = nullptr);
    ~TerminalTileView() override;

    // The inputs; each setter redraws what depends on it.
    const TerminalTile& tile() const { return tile_; }
    void setTile(const TerminalTile& tile);
    void setController(TerminalProcessController* controller);
    // The terminal's font size in points; the system's default size until set.
    void setTerminalFontSize(double pointSize);
    // What the terminal and its path overlay open paths and links with: "~" is `homeDirectory`.
    struct LinkServices {
        QString homeDirectory;
        std::shared_ptr<const PathExistenceChecking> existenceChecker;
        std::shared_ptr<const FileOpening> fileOpener;
        std::function<QDateTime()> now;
    };
    // Given before the controller, so the terminal widget is made with them.
    void setLinkServices(LinkServices services) { linkServices_ = std::move(services); }
    // Whether the terminal widget draws through GL; given before the controller. None: on the CPU.
    void setGpuSwitch(std::shared_ptr<TerminalGpuSwitch> gpuSwitch) { gpuSwitch_ = std::move(gpuSwitch); }
    // The terminal widget made for the controller's session; none without a controller.
    BrisvaneTerminalView* terminalView() const { return terminalView_.get(); }
    // Lays out and repaints the terminal widget, as after the application comes back.
    void redrawTerminal();
    bool isFocused() const { return isFocused_; }
    // Raises the header and moves the state border in, with the accent border; animated.
    void setFocused(bool focused);
    bool isConclusionReadingEnabled() const { return isConclusionReadingEnabled_; }
    void setConclusionReadingEnabled(bool enabled);
    // The shell's last known folder: what the pin item pins; without one the item is disabled.
    const std::optional<QString>& currentCwd() const { return currentCwd_; }
    void setCurrentCwd(const std::optional<QString>& cwd);


    // What the header says about the tile's state and in which colour.
    struct Appearance {
        SessionStateAppearance::Tone tone = SessionStateAppearance::Tone::unknown;
        QString label;
        std::optional<QString> detail;
        friend bool operator==(const Appearance&, const Appearance&) = default;
    };
    static Appearance appearance(const TerminalTile& tile);
    // What the header's drag carries: "terminal-" and the tile's upper-case UUID, as text.
    QMimeData* makeHeaderDragData() const;

    // Its parts, for the page and for tests.
    QWidget* header() const { return header_; }
    // Its "fullText" property holds the name before eliding.
    QLabel* primaryNameLabel() const { return primaryName_; }
    QLabel* secondaryNameLabel() const { return secondaryName_; }
    QLabel* stateLabel() const { return stateLabel_; }
    QLabel* detailLabel() const { return detailLabel_; }
    QLabel* modelNameLabel() const { return modelName_; }
    // Its "color" property is the state's colour.
    ColorDot* stateDot() const { return stateDot_; }
    QPushButton* readingToggle() const { return readingToggle_; }
    QPushButton* menuButton() const { return menuButton_; }
    QAction* pinProjectAction() const { return pinProjectAction_; }
    QPushButton* closeButton() const { return closeButton_; }
    // Present exactly while there is a controller (a terminal) or not, respectively.
    TerminalHostView* hostView() const { return hostView_; }
    QWidget* missingControllerPlaceholder() const { return placeholder_; }
    // 0 unfocused .. 1 focused, following the animation.
    double focusProgress() const { return focusProgress_; }

    // The focused tile's accent shadow (opacity 0.65, radius 8) lies outside the tile, which is
    // clipped to its rounded edge, so the widget below (the page) paints it: pre-rendered corner
    // and edge strips laid around the frame. Neither the tile nor its terminal is redrawn for it.
    // It reaches this far beyond the tile's edge: the grid's gap, so no other tile is touched.
    static constexpr int kShadowExtent = 12;
    // Paints the shadow at the current focus progress, in the parent's coordinates.
    void paintFocusShadow(QPainter& painter) const;
    // Where the shadow lies, in the parent's coordinates: around the tile's rectangle.
    QRegion focusShadowRegion() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The header's reading toggle, the menu's pin item (with the shell's folder) and the close button.
    void conclusionReadingToggleRequested();
    void pinProjectRequested(const QString& folder);
    void closeRequested();

private:
    class StateBorder;

    void buildHeader();
    void refreshHeader();
    // Shows the header's optional texts that fit beside the whole project name (see .cpp).
    void fitHeader();
    void refreshReadingToggle();
    void rebuildBody();
    void makeTerminalView(TerminalProcessController& controller);
    void setFocusProgress(double progress);
    // Asks the parent to repaint the shadow's place for a tile at `geometry`.
    void updateFocusShadow(const QRect& geometry) const;
    void startHeaderDrag();

    TerminalTile tile_;
    std::unique_ptr<BrisvaneTerminalView> terminalView_;
    std::optional<double> terminalFontSize_;
    std::shared_ptr<TerminalGpuSwitch> gpuSwitch_;
    LinkServices linkServices_;
    bool isFocused_ = false;
    bool isConclusionReadingEnabled_ = false;
    std::optional<QString> currentCwd_;
    double focusProgress_ = 0;

    QWidget* header_ = nullptr;
    QGraphicsOpacityEffect* headerOpacity_ = nullptr;
    ColorDot* stateDot_ = nullptr;
    QLabel* primaryName_ = nullptr;
    QLabel* secondaryName_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QLabel* detailLabel_ = nullptr;
    QLabel* modelName_ = nullptr;
    QPushButton* readingToggle_ = nullptr;
    QPushButton* menuButton_ = nullptr;
    QAction* pinProjectAction_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QWidget* body_ = nullptr;
    TerminalHostView* hostView_ = nullptr;
    QWidget* placeholder_ = nullptr;
    StateBorder* border_ = nullptr;
    QVariantAnimation* focusAnimation_ = nullptr;
    std::optional<QPoint> headerPressPosition_;
};

} // namespace brisvane
