#pragma once

#include <QWidget>

class QCheckBox;

namespace brisvane {

class DashboardViewModel;

// The settings window's display tab: whether the plan-usage gauge shows today's usage beside it.
// The switch shows the model's flag and every toggle calls the model's setter, which stores it.
class DisplaySettingsTab final : public QWidget {
    Q_OBJECT
public:
    explicit DisplaySettingsTab(DashboardViewModel& model, QWidget* parent = nullptr);

private:
    DashboardViewModel& model_;
    QCheckBox* inlineCostSwitch_ = nullptr;
};

} // namespace brisvane
