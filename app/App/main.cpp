// Brisvane: the dashboard of terminal tiles for people who run several coding agents at once.
#include "app/App/ViewCompositionRoot.hpp"
#include "app/Views/DashboardView.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here: the event loop does the rest.
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

bool choosesPlatform(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Qt picks the window system from these; with neither it would abort with advice that does
    // not apply. A platform named outright (QT_QPA_PLATFORM=offscreen, -platform) needs neither.
    if (!choosesPlatform(argc, argv)) {
        const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
        const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
        if (!x11 && !wayland) {
            std::fputs("Brisvane needs a desktop session (DISPLAY or WAYLAND_DISPLAY is not set); "
                       "`xvfb-run make run` starts it without one.\n",
                       stderr);
            return 2;
        }
        // A Wayland desktop without X11 compatibility: Qt would look for X11 first.
        if (wayland && !x11) qputenv("QT_QPA_PLATFORM", "wayland");
    }
    // A terminal view may draw with GL: its contexts must share one group from the start.
    corvix::prepareGpuApplication();
    QApplication app(argc, argv);
    // The support folder is named after the application alone (the settings file has its own
    // folder, see QSettingsPreferences).
    QCoreApplication::setApplicationName(QStringLiteral("Brisvane"));
    QCoreApplication::setOrganizationName(QString());

    std::unique_ptr<brisvane::DashboardViewModel> model = brisvane::makeViewModel(QDir::homePath());
    brisvane::DashboardView window(*model, brisvane::makeViewDependencies(*model));

    // SIGTERM and SIGINT quit as closing the window does: the model stops and every shell ends.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
            char byte;
            [[maybe_unused]] const auto read = ::read(signalPipe[1], &byte, 1);
            window.close();
            app.quit();
        });
        struct sigaction action {};
        action.sa_handler = onQuitSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }

    window.show();
    const int status = app.exec();
    model->stop();
    return status;
}
