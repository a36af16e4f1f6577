#pragma once

#include "app/Models/SessionState.hpp"

#include <QString>

#include <optional>

namespace brisvane::SessionStateAppearance {

// The colour family a view gives a state (idle grey, busy green, waiting red, terminated white,
// unknown grey). The raw values are not the order of the state's cases.
enum class Tone {
    idle = 0,
    busy = 1,
    waiting = 2,
    terminated = 3,
    unknown = 4,
};

struct Appearance {
    Tone tone = Tone::unknown;
    // Localised.
    QString label;
    // The waiting reason, as the agent wrote it.
    std::optional<QString> detail;

    friend bool operator==(const Appearance&, const Appearance&) = default;
};

Appearance resolve(const SessionState& state);

} // namespace brisvane::SessionStateAppearance
