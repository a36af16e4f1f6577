#pragma once

#include "terminal/engine/KittyKeyboardProtocol.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace corvix {

// Turns one key event into the bytes for the child: the Kitty keyboard protocol's CSI ... u and
// its letter and tilde forms, or the legacy bytes, as the child's enhancement flags ask. The host
// builds one per event from the active screen's flags, the application-cursor mode and its
// backspace preference.
struct KittyKeyboardEncoder {
    KittyKeyboardFlags flags;
    bool applicationCursor = false;
    bool backspaceSendsControlH = false;

    // The bytes to send; no value when nothing is sent for this event.
    std::optional<std::vector<uint8_t>> encode(const KittyKeyEvent& event) const;

private:
    using Bytes = std::vector<uint8_t>;

    std::optional<Bytes> encodeNonText(const KittyKeyEvent& event, bool disambiguate,
                                       bool includeEventType, bool includeAlternates,
                                       bool includeLocks) const;
    std::optional<Bytes> legacySpecialKeySequence(KittyFunctionalKey key,
                                                  KittyKeyboardModifiers modifiers,
                                                  KittyKeyboardEventType eventType) const;
};

} // namespace corvix
