#include "terminal/graphics/KittyGraphicsControl.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace corvix {

namespace {

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Decimal with an optional sign, within 64 bits; nothing otherwise.
std::optional<int64_t> parseInt(std::string_view text)
{
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        if (!isDigits(text.substr(1))) return std::nullopt;
        if (text[0] == '+') text.remove_prefix(1);
    } else if (!isDigits(text)) {
        return std::nullopt;
    }
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Decimal with an optional '+', 1 to 2^32 - 1: 0 stands for a key that was not given.
std::optional<uint32_t> parseId(std::string_view text)
{
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    if (!isDigits(text)) return std::nullopt;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value == 0 || value > UINT32_MAX) return std::nullopt;
    return uint32_t(value);
}

void setInt(int64_t& field, std::string_view value, int64_t fallback)
{
    field = parseInt(value).value_or(fallback);
}

void apply(KittyGraphicsControl& c, char key, std::string_view value)
{
    const KittyGraphicsControl defaults;
    const std::optional<char> first = value.empty() ? std::nullopt : std::optional<char>(value[0]);
    switch (key) {
    case 'a': c.action = first.value_or(defaults.action); break;
    case 'q': setInt(c.suppressResponses, value, defaults.suppressResponses); break;
    case 'f': setInt(c.format, value, defaults.format); break;
    case 't': c.transmission = first.value_or(defaults.transmission); break;
    case 's': setInt(c.width, value, 0); break;
    case 'v': setInt(c.height, value, 0); break;
    case 'x': setInt(c.cropX, value, 0); break;
    case 'y': setInt(c.cropY, value, 0); break;
    case 'w': setInt(c.cropWidth, value, 0); break;
    case 'h': setInt(c.cropHeight, value, 0); break;
    case 'S': setInt(c.dataSize, value, 0); break;
    case 'O': setInt(c.dataOffset, value, 0); break;
    case 'i': c.imageId = parseId(value); break;
    case 'I': c.imageNumber = parseId(value); break;
    case 'p': c.placementId = parseId(value); break;
    case 'P': c.parentImageId = parseId(value); break;
    case 'Q': c.parentPlacementId = parseId(value); break;
    case 'H': setInt(c.offsetH, value, 0); break;
    case 'V': setInt(c.offsetV, value, 0); break;
    case 'X': setInt(c.pixelOffsetX, value, 0); break;
    case 'Y': setInt(c.pixelOffsetY, value, 0); break;
    case 'U': setInt(c.unicodePlaceholder, value, 0); break;
    case 'z': setInt(c.zIndex, value, 0); break;
    case 'm': setInt(c.more, value, 0); break;
    case 'o': c.compression = first; break;
    case 'c': setInt(c.columns, value, 0); break;
    case 'r': setInt(c.rows, value, 0); break;
    case 'C': setInt(c.cursorPolicy, value, 0); break;
    case 'd': c.deleteMode = first; break;
    default: break;
    }
}

} // namespace

std::pair<KittyGraphicsControl, std::span<const uint8_t>> parseKittyGraphicsControl(std::span<const uint8_t> data)
{
    const auto semicolon = std::find(data.begin(), data.end(), uint8_t(';'));
    const size_t controlLength = size_t(semicolon - data.begin());
    const std::string_view keys(reinterpret_cast<const char*>(data.data()), controlLength);
    const std::span<const uint8_t> payload =
        semicolon == data.end() ? std::span<const uint8_t>() : data.subspan(controlLength + 1);

    KittyGraphicsControl control;
    size_t start = 0;
    while (start <= keys.size()) {
        const size_t comma = std::min(keys.find(',', start), keys.size());
        const std::string_view item = keys.substr(start, comma - start);
        start = comma + 1;
        const size_t equals = item.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = item.substr(0, equals);
        const std::string_view value = item.substr(equals + 1);
        if (key.size() != 1 || std::any_of(item.begin(), item.end(), [](char c) { return uint8_t(c) >= 0x80; }))
            continue;
        apply(control, key[0], value);
    }
    // Only inline data arrives in chunks.
    if (control.transmission != 'd') control.more = 0;
    return {control, payload};
}

} // namespace corvix
