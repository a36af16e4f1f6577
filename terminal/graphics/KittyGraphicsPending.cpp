#include "terminal/graphics/KittyGraphicsPending.hpp"

#include "terminal/graphics/KittyPayloadLoader.hpp"

#include <algorithm>
#include <iterator>

namespace corvix {

void KittyGraphicsPending::append(std::span<const uint8_t> chunk)
{
    if (oversized) return;
    // Counted before copying, so a transfer past the limit never grows the buffer.
    const auto kept = size_t(std::count_if(chunk.begin(), chunk.end(), KittyPayloadLoader::isBase64Byte));
    if (kept > kMaxBase64Length - base64Payload.size()) {
        oversized = true;
        base64Payload = std::vector<uint8_t>(); // its memory goes too
        return;
    }
    if (kept == chunk.size()) {
        base64Payload.insert(base64Payload.end(), chunk.begin(), chunk.end());
    } else {
        std::copy_if(chunk.begin(), chunk.end(), std::back_inserter(base64Payload), KittyPayloadLoader::isBase64Byte);
    }
}

} // namespace corvix
