#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace corvix {

enum class BidiDirection : uint8_t { leftToRight, rightToLeft };

// implicit: the terminal reorders text for display; explicit: the application orders the cells.
enum class BidiSupportMode : uint8_t { implicit, explicit_ };

enum class BidiPresentationMode : uint8_t {
    implicitLeftToRight,
    implicitRightToLeft,
    implicitAutoLeftToRight,
    implicitAutoRightToLeft,
    explicitLeftToRight,
    explicitRightToLeft,
};

enum class BidiHostPolicy : uint8_t { respectTerminal, legacyLeftToRight };

// How right-to-left text on a line (or, as a default for new lines, on a buffer) is presented.
struct BidiPresentationState {
    BidiSupportMode supportMode = BidiSupportMode::implicit;
    bool autodetectDirection = true;
    BidiDirection fallbackDirection = BidiDirection::leftToRight;
    bool boxMirroring = false;

    // The default value (implicit, autodetect, left-to-right fallback, no mirroring).
    static constexpr BidiPresentationState defaultState() { return {}; }

    constexpr BidiPresentationMode presentationMode() const
    {
        const bool rtl = fallbackDirection == BidiDirection::rightToLeft;
        if (supportMode == BidiSupportMode::explicit_) {
            return rtl ? BidiPresentationMode::explicitRightToLeft : BidiPresentationMode::explicitLeftToRight;
        }
        if (autodetectDirection) {
            return rtl ? BidiPresentationMode::implicitAutoRightToLeft
                       : BidiPresentationMode::implicitAutoLeftToRight;
        }
        return rtl ? BidiPresentationMode::implicitRightToLeft : BidiPresentationMode::implicitLeftToRight;
    }

    friend constexpr bool operator==(const BidiPresentationState&, const BidiPresentationState&) = default;
};

} // namespace corvix

template <>
struct std::hash<corvix::BidiPresentationState> {
    size_t operator()(const corvix::BidiPresentationState& s) const noexcept
    {
        return (static_cast<size_t>(s.supportMode) << 3) | (static_cast<size_t>(s.autodetectDirection) << 2)
            | (static_cast<size_t>(s.fallbackDirection) << 1) | static_cast<size_t>(s.boxMirroring);
    }
};
