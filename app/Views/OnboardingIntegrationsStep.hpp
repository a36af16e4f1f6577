#pragma once

#include "app/Models/HookKind.hpp"

#include <QWidget>

#include <array>

class QLabel;
class QPushButton;

namespace brisvane {

class DashboardViewModel;

// The onboarding's integrations step: one row per integration with its name, summary and either
// "導入済み", an install button, or (for a foreign status line) a pointer to the settings'
// integration tab, where alone it can be replaced after a confirmation. It re-reads the status
// each time it is made (the sheet makes it each time the step is shown) and follows the model's
// status afterwards. While the agent's settings cannot be read the install buttons are disabled.
class OnboardingIntegrationsStep final : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingIntegrationsStep(DashboardViewModel& model, QWidget* parent = nullptr);

private:
    struct Row {
        QLabel* conflictNote = nullptr;
        QWidget* installed = nullptr;
        QPushButton* install = nullptr;
    };

    QWidget* makeRow(HookKind kind);
    void showStatus();

    DashboardViewModel& model_;
    std::array<Row, kAllHookKinds.size()> rows_;
    QWidget* unreadableWarning_ = nullptr;
};

} // namespace brisvane
