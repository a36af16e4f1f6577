#include "app/ViewModels/DashboardViewModel.hpp"

namespace brisvane {

void DashboardViewModel::evaluateAnnouncements(const QDateTime&)
{
}

} // namespace brisvane
