#pragma once

#include "terminal/graphics/GraphicsCodec.hpp"
#include "terminal/graphics/KittyGraphicsControl.hpp"
#include "terminal/graphics/KittyGraphicsPayload.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvix {

// A loaded payload, or the protocol's error message for the step that failed (exactly one).
struct KittyPayloadResult {
    std::optional<KittyGraphicsPayload> payload;
    std::string_view error;
};

// Turns the payload of a Kitty graphics command into pixels: reads its medium (inline base64, a
// file, a temporary file, a shared-memory object) with the path rules and size limits, inflates
// it, and checks the pixel format. Programs name the files and objects, so every size is checked
// before anything is read or allocated, and nothing here can block on a FIFO or a device.
class KittyPayloadLoader {
public:
    explicit KittyPayloadLoader(const GraphicsCodec& codec = GraphicsCodec::standard()) : codec(codec) {}

    // The medium chosen by the key "t".
    KittyPayloadResult loadKittyPayload(const KittyGraphicsControl& control,
                                        std::span<const uint8_t> base64Payload) const;
    // Inline data ("t=d"); also the whole of the query action.
    std::optional<KittyGraphicsPayload> decodeKittyPayload(const KittyGraphicsControl& control,
                                                           std::span<const uint8_t> base64Payload) const;
    // The same with the base64 text already decoded (a chunked transfer decodes as it joins).
    std::optional<KittyGraphicsPayload> decodeKittyPayloadBytes(const KittyGraphicsControl& control,
                                                                std::vector<uint8_t> data) const;
    // "t=f", or "t=t" with `temporary`: the payload is the base64 path.
    KittyPayloadResult loadKittyFilePayload(const KittyGraphicsControl& control,
                                            std::span<const uint8_t> base64Payload, bool temporary) const;
    // "t=s": the payload is the base64 object name.
    KittyPayloadResult loadKittySharedMemoryPayload(const KittyGraphicsControl& control,
                                                    std::span<const uint8_t> base64Payload) const;

    // Up to `size` bytes (0: to the end) from `offset` of a regular file. With `deleteAfterRead`
    // the file is unlinked once it passed the checks, however the read ends.
    static std::optional<std::vector<uint8_t>> readKittyFileData(const std::string& path, int64_t offset,
                                                                 int64_t size, bool deleteAfterRead);
    // Bytes `offset` ..< offset + expectedSize (or the object's end), limited by `size` when above
    // 0, from a shared-memory object, which is unlinked once opened as a regular object.
    static std::optional<std::vector<uint8_t>> readKittySharedMemory(const std::string& name,
                                                                     std::optional<int64_t> expectedSize,
                                                                     int64_t offset, int64_t size);
    // The canonical path of an existing file; nothing when it cannot be resolved or is too long.
    static std::optional<std::string> resolveKittyRealPath(const std::string& path);
    // Inside "/tmp/", "/dev/shm/" or the user's temporary folder ($TMPDIR, as given or resolved).
    static bool isKittyTempPath(const std::string& path);
    // The byte count of raw pixels: "s" x "v" x 3 or 4 for formats 24 and 32; nothing otherwise.
    static std::optional<int64_t> kittyExpectedDataSize(const KittyGraphicsControl& control);

    // The data unchanged without compression ("o"), inflated for "o=z"; nothing for any other
    // letter, a bad stream, or more than the payload limit.
    std::optional<std::vector<uint8_t>> decompressKittyData(std::vector<uint8_t> data,
                                                            const KittyGraphicsControl& control) const;
    // Inflates no further than the image can take: the exact size "s" and "v" fix for raw pixels
    // (room for it taken once), kittyLargestPngSize for a PNG; anything longer fails on the byte
    // past that.
    std::optional<std::vector<uint8_t>> decompressZlib(std::span<const uint8_t> data,
                                                       const KittyGraphicsControl& control) const;
    // The most bytes a PNG can take whose header (the first kPngHeaderBytes of the file) is
    // `header`, stored without compression, with room for its other chunks; nothing when the
    // header is not a PNG's or its sides are outside 1 to kMaxSide (such a file is refused anyway).
    static constexpr size_t kPngHeaderBytes = 33;
    static std::optional<size_t> kittyLargestPngSize(std::span<const uint8_t> header);
    // Checks the data against the format ("f") and size ("s", "v") and makes the payload.
    std::optional<KittyGraphicsPayload> decodeKittyPayloadData(const KittyGraphicsControl& control,
                                                               std::vector<uint8_t> raw) const;

    // PNG helpers for placement (cropping and sizing) as well as loading.
    bool validateKittyPngDimensions(std::span<const uint8_t> png) const;
    std::optional<std::pair<int, int>> kittyPngPixelSize(std::span<const uint8_t> png) const;
    std::optional<RgbaBitmap> decodePngToRgba(std::span<const uint8_t> png) const;

    // Base64 that skips every byte outside the alphabet (line breaks included); nothing when
    // what remains is malformed.
    static std::optional<std::vector<uint8_t>> decodeBase64(std::span<const uint8_t> text);
    // A letter of the base64 alphabet or its padding.
    static bool isBase64Byte(uint8_t byte)
    {
        return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
               byte == '+' || byte == '/' || byte == '=';
    }

private:
    const GraphicsCodec& codec;
};

} // namespace corvix
