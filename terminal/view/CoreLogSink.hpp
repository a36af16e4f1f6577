#pragma once

#include <QLoggingCategory>

namespace corvix {

// The terminal core's diagnostics in Qt's logging: each core category writes to one Qt category
// ("corvix.screen", "corvix.parser", "corvix.engine", "corvix.process"), so QT_LOGGING_RULES and
// the application's message handler govern them. Fatal lines are written whatever the rules say.
Q_DECLARE_LOGGING_CATEGORY(lcCorvixScreen)
Q_DECLARE_LOGGING_CATEGORY(lcCorvixParser)
Q_DECLARE_LOGGING_CATEGORY(lcCorvixEngine)
Q_DECLARE_LOGGING_CATEGORY(lcCorvixProcess)

// Installs the sink unless one is installed (a host's or a test's own stays). Every terminal
// view calls it, so an application using the widget gets it without asking.
void installCoreLogSink();

} // namespace corvix
