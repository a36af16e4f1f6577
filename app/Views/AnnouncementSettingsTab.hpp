#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace brisvane {

class ColorDot;

class DashboardViewModel;

// The settings window's first tab: the announcement switch, the summary-reading default, the two
// minimum work times, the voice and the VOICEVOX engine's options. It stores nothing: every
// control shows a property of the model and calls the model's setter. Each time the tab is shown
// it asks the model to re-check the engine.
class AnnouncementSettingsTab final : public QWidget {
    Q_OBJECT
public:
    explicit AnnouncementSettingsTab(DashboardViewModel& model, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showModelValues();
    void showEngineStatus();

    DashboardViewModel& model_;
    QCheckBox* announcementsSwitch_ = nullptr;
    QCheckBox* conclusionDefaultSwitch_ = nullptr;
    QComboBox* completionThresholdPicker_ = nullptr;
    QComboBox* conclusionThresholdPicker_ = nullptr;
    QButtonGroup* voiceGroup_ = nullptr;
    QGroupBox* voicevoxSection_ = nullptr;
    QWidget* engineStatusRow_ = nullptr;
    ColorDot* engineStatusDot_ = nullptr;
    QLabel* engineStatusText_ = nullptr;
    QCheckBox* autoLaunchCheckbox_ = nullptr;
    QPushButton* launchNowButton_ = nullptr;
    QLabel* notInstalledNote_ = nullptr;
};

} // namespace brisvane
