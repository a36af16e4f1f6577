#pragma once

// Helpers shared by the graphics tests: byte conversions, zlib and PNG encoders for making
// payloads, a scratch folder under /tmp, and a host that records bitmaps.

#include "terminal/graphics/Base64.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/support/RecordingDelegate.hpp"

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::test {

inline std::vector<uint8_t> bytesOf(std::string_view text)
{
    return {text.begin(), text.end()};
}

inline std::span<const uint8_t> spanOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

inline std::string base64(std::span<const uint8_t> bytes)
{
    return Base64::encode(bytes);
}

inline std::string base64(std::string_view text)
{
    return Base64::encode(spanOf(text));
}

// A DEFLATE stream of `data`: zlib-wrapped (RFC 1950) or raw.
inline std::vector<uint8_t> deflateBytes(std::span<const uint8_t> data, bool zlibHeader)
{
    z_stream z{};
    if (deflateInit2(&z, 1, Z_DEFLATED, zlibHeader ? MAX_WBITS : -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<uint8_t> out(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

// A PNG file of straight-alpha RGBA pixels.
inline std::vector<uint8_t> encodePng(std::span<const uint8_t> rgba, int width, int height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr))
        throw std::runtime_error("png size");
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr))
        throw std::runtime_error("png write");
    out.resize(size);
    return out;
}

// A folder under /tmp, removed with everything in it when the test ends.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& parent = "/tmp")
    {
        std::string pattern = parent + "/corvix-graphics-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
        path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string write(const std::string& name, std::span<const uint8_t> bytes) const
    {
        const std::string file = path + "/" + name;
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    std::streamsize(bytes.size()));
        return file;
    }

    std::string path;
};

// A recorded bitmap from the Sixel handler.
struct Bitmap {
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;
};

// Records replies (through RecordingDelegate) and every bitmap handed over.
class ImageDelegate : public RecordingDelegate {
public:
    std::vector<Bitmap> bitmaps;

    bool createImageFromBitmap(Terminal&, std::vector<uint8_t>& bytes, int width, int height) override
    {
        bitmaps.push_back({bytes, width, height});
        return false;
    }
};

} // namespace corvix::test
