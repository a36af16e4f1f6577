#pragma once

#include "app/Views/PopoverFrame.hpp"

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace brisvane {

class DashboardViewModel;

// The speaker button's popover: the announcement switch, the selected voice, for a VOICEVOX voice
// the engine's status, and the ways into the settings window. Each time it opens it asks the
// model for a fresh engine status (never forcing a launch).
class AnnouncementSettingsPopoverView final : public PopoverFrame {
    Q_OBJECT
public:
    // `openSettings` opens the settings window on the model's selected tab.
    AnnouncementSettingsPopoverView(DashboardViewModel& viewModel, std::function<void()> openSettings,
                                    QWidget* parent = nullptr);

    QCheckBox* announcementsSwitch() const { return switch_; }
    QLabel* voiceLabel() const { return voice_; }
    // Hidden for the system voice.
    QWidget* engineRow() const { return engineRow_; }
    QLabel* engineLabel() const { return engineLabel_; }
    QColor engineDotColor() const;
    QPushButton* settingsLink() const { return settingsLink_; }
    QPushButton* creditsLink() const { return creditsLink_; }

    // The credits button: the About tab, then the settings window.
    void openCredits();

protected:
    void willPresent() override;

private:
    void refresh();

    DashboardViewModel& viewModel_;
    std::function<void()> openSettings_;
    QCheckBox* switch_ = nullptr;
    QLabel* voice_ = nullptr;
    QWidget* engineRow_ = nullptr;
    class ColorDot* engineDot_ = nullptr;
    QLabel* engineLabel_ = nullptr;
    QPushButton* settingsLink_ = nullptr;
    QPushButton* creditsLink_ = nullptr;
};

} // namespace brisvane
