#pragma once

#include "app/Models/SettingsTab.hpp"

#include <QWidget>

#include <optional>

class QTabWidget;

namespace brisvane {

class DashboardViewModel;

// The settings window: one window at a time, a tab widget over the five tabs at 560 x 460. The
// tab shown is the model's `settingsSelectedTab`, both ways, so another window can choose a tab
// before opening this one and the choice survives closing and reopening. Closing the window
// deletes it; the selection stays with the model.
class SettingsWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 560;
    static constexpr int kHeight = 460;

    // The one way to open the settings: selects `tab` in the model when given, then shows the
    // window on the model's tab, creating it when none is open and raising it otherwise.
    static SettingsWindow* open(DashboardViewModel& model, std::optional<SettingsTab> tab = std::nullopt);
    // The open window, if any.
    static SettingsWindow* instance();

    QTabWidget& tabs() { return *tabs_; }

private:
    explicit SettingsWindow(DashboardViewModel& model);

    DashboardViewModel& model_;
    QTabWidget* tabs_ = nullptr;
};

} // namespace brisvane
