#include "terminal/engine/EngineDiagnostics.hpp"

#include "terminal/screen/Log.hpp"

namespace corvix {

void EngineDiagnostics::logInfo(std::string_view message) const
{
    if (silentLog) return;
    std::string line = "Info: ";
    line += message;
    logDiagnostic(line);
}

void EngineDiagnostics::logDiagnostic(std::string_view line) const
{
    if (silentLog) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - diagnosticWindowStart_ >= kDiagnosticWindow) {
        if (diagnosticsSuppressed_ > 0)
            log::write(log::Category::engine, log::Level::info,
                       "Info: " + std::to_string(diagnosticsSuppressed_) + " diagnostic lines suppressed");
        diagnosticWindowStart_ = now;
        diagnosticLines_ = 0;
        diagnosticsSuppressed_ = 0;
    }
    if (diagnosticLines_ >= kDiagnosticBurst) {
        ++diagnosticsSuppressed_;
        return;
    }
    ++diagnosticLines_;
    log::write(log::Category::engine, log::Level::info, line);
}

std::string EngineDiagnostics::decimalList(std::span<const uint8_t> bytes)
{
    std::string s = "[";
    for (size_t i = 0; i < bytes.size(); i++) {
        if (i) s += ", ";
        s += std::to_string(bytes[i]);
    }
    return s + "]";
}

std::string EngineDiagnostics::decimalList(std::span<const int32_t> values)
{
    std::string s = "[";
    for (size_t i = 0; i < values.size(); i++) {
        if (i) s += ", ";
        s += std::to_string(values[i]);
    }
    return s + "]";
}

} // namespace corvix
