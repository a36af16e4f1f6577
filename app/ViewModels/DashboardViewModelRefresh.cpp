#include "app/ViewModels/DashboardViewModel.hpp"

namespace brisvane {

void DashboardViewModel::refresh()
{
    refreshCount_++;
}

} // namespace brisvane
