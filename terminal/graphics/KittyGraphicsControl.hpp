#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace corvix {

// The control keys of one Kitty graphics command (the comma-separated "key=value" items before
// the ';'). A key that is absent or unusable leaves its default.
struct KittyGraphicsControl {
    char action = 't';                          // a
    int64_t suppressResponses = 0;              // q
    int64_t format = 32;                        // f: 24 RGB, 32 RGBA, 100 PNG
    char transmission = 'd';                    // t: d direct, f file, t temporary file, s shared memory
    int64_t width = 0;                          // s
    int64_t height = 0;                         // v
    int64_t cropX = 0;                          // x (also a delete's cell column and id range)
    int64_t cropY = 0;                          // y (also a delete's cell row and id range)
    int64_t cropWidth = 0;                      // w
    int64_t cropHeight = 0;                     // h
    int64_t dataSize = 0;                       // S
    int64_t dataOffset = 0;                     // O
    std::optional<uint32_t> imageId;            // i
    std::optional<uint32_t> imageNumber;        // I
    std::optional<uint32_t> placementId;        // p
    std::optional<uint32_t> parentImageId;      // P
    std::optional<uint32_t> parentPlacementId;  // Q
    int64_t offsetH = 0;                        // H
    int64_t offsetV = 0;                        // V
    int64_t pixelOffsetX = 0;                   // X
    int64_t pixelOffsetY = 0;                   // Y
    int64_t unicodePlaceholder = 0;             // U
    int64_t zIndex = 0;                         // z (also a delete's z-index filter)
    int64_t more = 0;                           // m: 1 while more chunks follow
    std::optional<char> compression;            // o
    int64_t columns = 0;                        // c
    int64_t rows = 0;                           // r
    int64_t cursorPolicy = 0;                   // C
    std::optional<char> deleteMode;             // d

    friend bool operator==(const KittyGraphicsControl&, const KittyGraphicsControl&) = default;
};

// Splits a command (the APC string after its "G") into its control keys and its payload: the
// bytes after the first ';' (a slice of `data`), empty without one.
std::pair<KittyGraphicsControl, std::span<const uint8_t>> parseKittyGraphicsControl(std::span<const uint8_t> data);

} // namespace corvix
