#include "terminal/view/CoreLogSink.hpp"

#include "terminal/screen/Log.hpp"

#include <QMessageLogger>

namespace corvix {

Q_LOGGING_CATEGORY(lcCorvixScreen, "corvix.screen")
Q_LOGGING_CATEGORY(lcCorvixParser, "corvix.parser")
Q_LOGGING_CATEGORY(lcCorvixEngine, "corvix.engine")
Q_LOGGING_CATEGORY(lcCorvixProcess, "corvix.process")

namespace {

const QLoggingCategory& qtCategory(log::Category category)
{
    switch (category) {
    case log::Category::screen: return lcCorvixScreen();
    case log::Category::parser: return lcCorvixParser();
    case log::Category::engine: return lcCorvixEngine();
    case log::Category::process: return lcCorvixProcess();
    }
    return lcCorvixEngine();
}

void writeToQt(log::Level level, log::Category category, std::string_view line)
{
    const QLoggingCategory& qt = qtCategory(category);
    const int size = int(line.size());
    switch (level) {
    case log::Level::debug:
        if (qt.isDebugEnabled())
            QMessageLogger(nullptr, 0, nullptr, qt.categoryName()).debug("%.*s", size, line.data());
        break;
    case log::Level::info:
        if (qt.isInfoEnabled()) QMessageLogger(nullptr, 0, nullptr, qt.categoryName()).info("%.*s", size, line.data());
        break;
    case log::Level::warning:
        if (qt.isWarningEnabled())
            QMessageLogger(nullptr, 0, nullptr, qt.categoryName()).warning("%.*s", size, line.data());
        break;
    case log::Level::fatal:
        // Never filtered: Qt writes it and stops the program, as the core would.
        QMessageLogger(nullptr, 0, nullptr, qt.categoryName()).fatal("%.*s", size, line.data());
    }
}

} // namespace

void installCoreLogSink()
{
    log::setSinkIfNone(writeToQt);
}

} // namespace corvix
