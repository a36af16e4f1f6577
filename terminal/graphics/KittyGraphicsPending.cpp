#include "terminal/graphics/KittyGraphicsPending.hpp"

#include "terminal/graphics/Base64.hpp"
#include "terminal/graphics/KittyPayloadLoader.hpp"

#include <algorithm>
#include <iterator>

namespace corvix {

void KittyGraphicsPending::append(std::span<const uint8_t> chunk, size_t limit)
{
    if (oversized) return;
    // Counted before copying, so a transfer past the limit never grows the buffer.
    const auto kept = size_t(std::count_if(chunk.begin(), chunk.end(), KittyPayloadLoader::isBase64Byte));
    if (kept > std::min(limit, kMaxBase64Length) - std::min(size, limit)) {
        oversized = true;
        blocks = {}; // their memory goes too
        size = 0;
        return;
    }
    const auto copy = [&](auto first, auto last) {
        while (first != last) {
            if (blocks.empty() || blocks.back().size() == kBlockBytes) {
                blocks.emplace_back();
                // A transfer that outgrew one block takes whole blocks; a small one grows as it goes.
                if (blocks.size() > 1) blocks.back().reserve(kBlockBytes);
            }
            std::vector<uint8_t>& block = blocks.back();
            const auto n = std::min<size_t>(kBlockBytes - block.size(), size_t(std::distance(first, last)));
            // Grows as a vector does, but never past one block.
            if (block.size() + n > block.capacity())
                block.reserve(std::min(kBlockBytes, std::max(block.size() + n, 2 * block.capacity())));
            block.insert(block.end(), first, std::next(first, ptrdiff_t(n)));
            first = std::next(first, ptrdiff_t(n));
            size += n;
        }
    };
    if (kept == chunk.size()) {
        copy(chunk.begin(), chunk.end());
        return;
    }
    // Rare (line breaks in the text): filtered through one block-sized piece at a time.
    std::vector<uint8_t> filtered;
    filtered.reserve(std::min(kept, kBlockBytes));
    for (auto from = chunk.begin(); from != chunk.end();) {
        filtered.clear();
        while (from != chunk.end() && filtered.size() < kBlockBytes) {
            if (KittyPayloadLoader::isBase64Byte(*from)) filtered.push_back(*from);
            ++from;
        }
        copy(filtered.cbegin(), filtered.cend());
    }
}

std::optional<std::vector<uint8_t>> KittyGraphicsPending::takeDecoded()
{
    std::vector<std::vector<uint8_t>> text = std::move(blocks);
    blocks.clear();
    size = 0;
    if (text.size() == 1) return Base64::decode(text.front());
    static_assert(kBlockBytes % 4 == 0, "a group of four letters never spans two blocks");
    std::vector<uint8_t> decoded;
    for (size_t i = 0; i < text.size(); i++) {
        const bool last = i + 1 == text.size();
        // Padding anywhere but at the end of the whole text makes it malformed.
        if (!last && std::find(text[i].begin(), text[i].end(), '=') != text[i].end()) return std::nullopt;
        if (i == 0) decoded.reserve((text.size() - 1) * (kBlockBytes / 4 * 3) + text.back().size() / 4 * 3);
        const auto part = Base64::decode(text[i]);
        if (!part) return std::nullopt;
        decoded.insert(decoded.end(), part->begin(), part->end());
        text[i] = {};
    }
    return decoded;
}

size_t KittyGraphicsPending::heldBytes() const
{
    size_t held = 0;
    for (const std::vector<uint8_t>& block : blocks) held += block.capacity();
    return held;
}

} // namespace corvix
