// Brisvane: the dashboard of terminal tiles for people who run several coding agents at once.
#include "app/App/CompositionRoot.hpp"
#include "app/Views/DashboardView.hpp"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The support folder and settings file are named after the application alone.
    QCoreApplication::setApplicationName(QStringLiteral("Brisvane"));
    QCoreApplication::setOrganizationName(QString());

    std::unique_ptr<brisvane::DashboardViewModel> model = brisvane::makeViewModel(QDir::homePath());
    brisvane::DashboardView window(*model);

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
