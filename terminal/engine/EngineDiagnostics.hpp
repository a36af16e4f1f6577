#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvix {

// The engine's diagnostic lines (sequences it does not handle, bad parameters), written to the
// log's engine category. Diagnostics are the child's to trigger, so at most kDiagnosticBurst
// lines go out per kDiagnosticWindow; the rest are counted, and the count is written when the
// next window opens.
class EngineDiagnostics {
public:
    static constexpr int kDiagnosticBurst = 100;
    static constexpr std::chrono::seconds kDiagnosticWindow{1};

    // While true (the default) "Info: " lines are suppressed.
    bool silentLog = true;
    // Writes "Info: " + message unless `silentLog`.
    void logInfo(std::string_view message) const;
    // Writes the line unless `silentLog`.
    void logDiagnostic(std::string_view line) const;

    // "[1, 2, 3]": values for diagnostic lines.
    static std::string decimalList(std::span<const uint8_t> bytes);
    static std::string decimalList(std::span<const int32_t> values);

private:
    mutable std::chrono::steady_clock::time_point diagnosticWindowStart_{};
    mutable int diagnosticLines_ = 0;
    mutable uint64_t diagnosticsSuppressed_ = 0;
};

} // namespace corvix
