#include "app/Views/TerminalGpuSwitch.hpp"

#include "terminal/view/TerminalView.hpp"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBrisvaneGpu, "brisvane.gpu")

namespace brisvane {

TerminalGpuSwitch TerminalGpuSwitch::fromEnvironment()
{
    return TerminalGpuSwitch(requestedBy(qEnvironmentVariable("BRISVANE_GPU")));
}

void TerminalGpuSwitch::apply(corvix::TerminalView& view)
{
    if (!requested_) return;
    const std::optional<corvix::GpuError> error = view.setUseGpu(true);
    if (!error) return;
    const std::string reason = corvix::describe(*error);
    if (!reported_.insert(reason).second) return;
    qCWarning(lcBrisvaneGpu, "GPU drawing unavailable: %s; drawing on the CPU", reason.c_str());
}

} // namespace brisvane
