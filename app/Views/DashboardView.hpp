#pragma once

#include "app/Services/integration/SystemSettingsOpening.hpp"
#include "app/Views/OnboardingView.hpp"

#include <QDialog>
#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QWindow;

namespace brisvane {

class DashboardViewModel;
class NotificationOverlayView;
class TerminalGpuSwitch;
class TilePageView;
class TopBarView;

// The application's one window: the top bar over the page of tiles, the toasts over both. It
// starts the model each time it is shown and stops it (and with it every shell) when closed,
// presents the onboarding while the model asks for it, and passes on the application becoming
// active and any window of the application being covered or uncovered.
class DashboardView final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 780;
    static constexpr int kMinimumHeight = 480;

    // What the window's views act through; the composition root's.
    struct Dependencies {
        // The onboarding sheet's, for each time it is presented.
        OnboardingView::Dependencies onboarding;
        // Opens the explanation of the system settings a toast points to.
        std::shared_ptr<const SystemSettingsOpening> systemSettingsOpener;
        // Whether the tiles' terminals draw through GL; none: on the CPU.
        std::shared_ptr<TerminalGpuSwitch> terminalGpuSwitch;
    };

    DashboardView(DashboardViewModel& model, Dependencies dependencies, QWidget* parent = nullptr);
    ~DashboardView() override;

    TopBarView& topBar() const { return *topBar_; }
    // Takes all the height under the top bar.
    TilePageView& tilePage() const { return *tilePage_; }
    NotificationOverlayView& notificationOverlay() const { return *notificationOverlay_; }
    // The open onboarding sheet, if any.
    QDialog* onboardingSheet() const { return onboardingSheet_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens or closes the sheet to match the model's flag.
    void syncOnboarding();
    void placeNotificationOverlay();

    DashboardViewModel& model_;
    Dependencies dependencies_;
    TopBarView* topBar_ = nullptr;
    TilePageView* tilePage_ = nullptr;
    NotificationOverlayView* notificationOverlay_ = nullptr;
    QPointer<QDialog> onboardingSheet_;
    // Whether the content is in a shown window: the model runs and the observers act.
    bool started_ = false;
    // The last exposure seen of each of the application's windows.
    QHash<QWindow*, bool> exposed_;
};

} // namespace brisvane
