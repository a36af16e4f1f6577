#pragma once

#include "terminal/screen/Position.hpp"
#include "terminal/screen/TinyAtom.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace corvix {

// Hyperlink payloads ("params;uri") by the codes the cells carry, and the link OSC 8 opened.
// Bounded: a payload longer than kMaxHyperlinkPayloadBytes is not kept, and all of them together
// hold at most kMaxPayloadBytes.
struct HyperlinkPayloads {
    static constexpr size_t kMaxHyperlinkPayloadBytes = 8192;
    static constexpr size_t kMaxPayloadBytes = size_t{4} << 20;
    // Failed look-ups that skip the collection after one that made no room.
    static constexpr int kPayloadCollectionPause = 1024;

    TinyAtomTable payloads{kMaxPayloadBytes};
    int payloadCollectionPause_ = 0;
    // The link an OSC 8 opened (where, and its payload) until the OSC 8 that closes it.
    std::optional<std::pair<Position, std::string>> hyperLinkTracking;
    // The open link's code, stamped on printed cells while `hyperLinkTracking` is set.
    uint16_t hyperLinkCode_ = 0;

    // The link target of "params;uri", or nothing without a ";".
    static std::optional<std::string> parseHyperlinkPayload(std::string_view payload)
    {
        const size_t semicolon = payload.find(';');
        if (semicolon == std::string_view::npos) return std::nullopt;
        return std::string(payload.substr(semicolon + 1));
    }
};

} // namespace corvix
