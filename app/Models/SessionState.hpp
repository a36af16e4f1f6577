#pragma once

#include <QString>

#include <optional>

namespace brisvane {

// A session's derived state. Only `waiting` carries a reason; the factories keep it empty for the
// other cases, so equality compares the reason exactly where it matters.
struct SessionState {
    enum class Case { waiting, idle, busy, terminated, unknown };

    Case kind = Case::unknown;
    std::optional<QString> reason;

    static SessionState waiting(std::optional<QString> reason = std::nullopt)
    {
        return {Case::waiting, std::move(reason)};
    }
    static SessionState idle() { return {Case::idle, std::nullopt}; }
    static SessionState busy() { return {Case::busy, std::nullopt}; }
    static SessionState terminated() { return {Case::terminated, std::nullopt}; }
    static SessionState unknown() { return {Case::unknown, std::nullopt}; }

    friend bool operator==(const SessionState&, const SessionState&) = default;
};

} // namespace brisvane
