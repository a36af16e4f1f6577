#pragma once

#include "app/App/CompositionRoot.hpp"
#include "app/Views/DashboardView.hpp"

#include <memory>

namespace brisvane {

// The one dashboard model over the application's services, with the focused tile as the
// window's focus shows it.
std::unique_ptr<DashboardViewModel> makeViewModel(const QString& home);

// What the window's views act through: the onboarding's editor of "<agent home>/CLAUDE.md" over
// the local file system, the model's preferences and opener for files and links, the
// settings window, the current time and this process's command search; the toasts' opener of the
// system settings' explanation.
DashboardView::Dependencies makeViewDependencies(DashboardViewModel& model);

} // namespace brisvane
