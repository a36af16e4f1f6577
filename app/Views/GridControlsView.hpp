#pragma once

#include "app/Models/PinnedProject.hpp"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QMenu;
class QPushButton;

namespace brisvane {

class AnnouncementSettingsPopoverView;
class DashboardViewModel;
class GridLayoutIconView;
class LayoutPickerPopoverView;

// The page controls of the bar: previous, one dot per page, next and "n / m". They take keyboard
// focus; the arrow keys turn pages while they hold it, and a drag that starts on them turns a
// page once it has moved 24 pixels (leftwards: next, rightwards: previous).
class GridPageControls final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSwipeMinimumDistance = 24;

    explicit GridPageControls(DashboardViewModel& viewModel, QWidget* parent = nullptr);

    // Follows the model's pages and page index.
    void refresh();
    // The page shown (clamped as the model clamps) and the number of pages (at least 1).
    int currentIndex() const;
    int pageCount() const;

    QPushButton* previousButton() const { return previous_; }
    QPushButton* nextButton() const { return next_; }
    QLabel* counterLabel() const { return counter_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    class PageDots;

    DashboardViewModel& viewModel_;
    QPushButton* previous_ = nullptr;
    PageDots* dots_ = nullptr;
    QPushButton* next_ = nullptr;
    QLabel* counter_ = nullptr;
    std::optional<QPointF> dragStart_;
};

// A pinned folder in the bar: a pull-down with "新規セッション" and, when the agent has a
// conversation on record for the folder, "続きから（M/d H:mm）"; a secondary click offers
// "ピンを外す". The items are built each time the menu opens.
class PinnedProjectChip final : public QToolButton {
    Q_OBJECT
public:
    PinnedProjectChip(DashboardViewModel& viewModel, const PinnedProject& project, QWidget* parent = nullptr);

    const PinnedProject& project() const { return project_; }
    // Rebuilds the pull-down's items from the current transcripts; returns the menu.
    QMenu* rebuildMenu();
    // The secondary-click menu.
    QMenu* contextMenu() const { return contextMenu_; }

private:
    DashboardViewModel& viewModel_;
    PinnedProject project_;
    QMenu* menu_ = nullptr;
    QMenu* contextMenu_ = nullptr;
};

// The control bar of the dashboard: layout picker, settings, terminal font size, announcements,
// the pinned folders, and the page controls when there is more than one page. Everything acts
// through the model or opens a popover or the settings window; the two popovers' visibility is
// its only state.
class GridControlsView final : public QWidget {
    Q_OBJECT
public:
    // `openSettings` opens the settings window on the model's selected tab.
    GridControlsView(DashboardViewModel& viewModel, std::function<void()> openSettings, QWidget* parent = nullptr);

    bool isLayoutPopoverPresented() const;
    bool isAnnouncementPopoverPresented() const;
    void toggleLayoutPopover();
    void toggleAnnouncementPopover();

    // "M/d H:mm" in the local time zone, whatever the locale: 5 March 09:07 gives "3/5 9:07".
    static QString resumeDateLabel(const QDateTime& date);

    QPushButton* layoutButton() const { return layoutButton_; }
    GridLayoutIconView* layoutIcon() const { return layoutIcon_; }
    QLabel* layoutLabel() const { return layoutLabel_; }
    QPushButton* settingsButton() const { return settingsButton_; }
    QPushButton* smallerFontButton() const { return smallerFont_; }
    QPushButton* largerFontButton() const { return largerFont_; }
    QPushButton* announcementButton() const { return announcementButton_; }
    // The chips' row; hidden without pinned folders.
    QWidget* pinChips() const { return pinChips_; }
    QList<PinnedProjectChip*> chips() const;
    GridPageControls* pageControls() const { return pageControls_; }
    // Created on first opening.
    LayoutPickerPopoverView* layoutPopover() const;
    AnnouncementSettingsPopoverView* announcementPopover() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refreshLayoutButton();
    void refreshAnnouncementButton();
    void rebuildPinChips();
    void refreshPageControls();

    DashboardViewModel& viewModel_;
    std::function<void()> openSettings_;
    QPushButton* layoutButton_ = nullptr;
    GridLayoutIconView* layoutIcon_ = nullptr;
    QLabel* layoutLabel_ = nullptr;
    QPushButton* settingsButton_ = nullptr;
    QPushButton* smallerFont_ = nullptr;
    QPushButton* largerFont_ = nullptr;
    QPushButton* announcementButton_ = nullptr;
    QWidget* pinChips_ = nullptr;
    GridPageControls* pageControls_ = nullptr;
    QPointer<LayoutPickerPopoverView> layoutPopover_;
    QPointer<AnnouncementSettingsPopoverView> announcementPopover_;
};

} // namespace brisvane
