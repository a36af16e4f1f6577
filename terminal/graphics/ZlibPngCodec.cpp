#include "terminal/graphics/ZlibPngCodec.hpp"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>

namespace corvix {

namespace {

// CM 8 (deflate), a window of at most 32 KiB and the header check bits right.
bool startsWithZlibHeader(std::span<const uint8_t> data)
{
    if (data.size() < 2) return false;
    const unsigned cmf = data[0];
    const unsigned flg = data[1];
    return (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0;
}

// Releases the decoder however the inflation ends.
struct InflateStream {
    z_stream z{};
    bool live = false;
    ~InflateStream()
    {
        if (live) inflateEnd(&z);
    }
};

// Holds the PNG reader's state until the image is read or given up.
struct PngReader {
    png_image image{};
    PngReader() { image.version = PNG_IMAGE_VERSION; }
    ~PngReader() { png_image_free(&image); }
    bool begin(std::span<const uint8_t> png)
    {
        return !png.empty() && png_image_begin_read_from_memory(&image, png.data(), png.size()) != 0;
    }
};

} // namespace

const GraphicsCodec& GraphicsCodec::standard()
{
    static const ZlibPngCodec codec;
    return codec;
}

namespace {

enum class InflateEnd : uint8_t { streamEnd, full, failed };

// Inflates into `out` until the stream ends or `out` holds `room` bytes. The room is taken as
// the output grows (doubling, never past `room`), or at once with `reserveAll`.
InflateEnd inflateInto(std::span<const uint8_t> data, std::vector<uint8_t>& out, size_t room, bool reserveAll)
{
    constexpr size_t kOutputBlock = 65536;
    // zlib counts input in 32-bit units: feed large inputs in pieces.
    constexpr size_t kInputPiece = size_t{1} << 30;

    InflateStream stream;
    if (inflateInit2(&stream.z, startsWithZlibHeader(data) ? MAX_WBITS : -MAX_WBITS) != Z_OK)
        return InflateEnd::failed;
    stream.live = true;
    if (reserveAll) out.reserve(room);

    size_t fed = 0;
    while (out.size() < room) {
        if (stream.z.avail_in == 0 && fed < data.size()) {
            const size_t piece = std::min(data.size() - fed, kInputPiece);
            stream.z.next_in = const_cast<Bytef*>(data.data() + fed);
            stream.z.avail_in = uInt(piece);
            fed += piece;
        }
        const size_t before = out.size();
        const size_t block = std::min(room - before, kOutputBlock);
        if (before + block > out.capacity()) out.reserve(std::min(room, std::max(before + block, 2 * out.capacity())));
        out.resize(before + block);
        stream.z.next_out = out.data() + before;
        stream.z.avail_out = uInt(block);
        const int status = ::inflate(&stream.z, Z_NO_FLUSH);
        out.resize(before + block - stream.z.avail_out);
        if (status == Z_STREAM_END) return InflateEnd::streamEnd;
        if (status == Z_BUF_ERROR && (stream.z.avail_in > 0 || fed < data.size())) continue;
        // Z_BUF_ERROR with all input used: the stream was cut short.
        if (status != Z_OK) return InflateEnd::failed;
    }
    return InflateEnd::full;
}

} // namespace

std::optional<std::vector<uint8_t>> ZlibPngCodec::inflate(std::span<const uint8_t> data, size_t maxOutput,
                                                          bool reserveAll) const
{
    std::vector<uint8_t> out;
    // One byte past the bound tells a stream that is too long from one that fits exactly.
    const size_t room = maxOutput == SIZE_MAX ? maxOutput : maxOutput + 1;
    if (inflateInto(data, out, room, reserveAll) != InflateEnd::streamEnd || out.size() > maxOutput)
        return std::nullopt;
    return out;
}

std::optional<std::vector<uint8_t>> ZlibPngCodec::inflatePrefix(std::span<const uint8_t> data, size_t length) const
{
    std::vector<uint8_t> out;
    if (inflateInto(data, out, length, true) == InflateEnd::failed) return std::nullopt;
    return out;
}

std::optional<std::pair<int, int>> ZlibPngCodec::pngSize(std::span<const uint8_t> png) const
{
    PngReader reader;
    if (!reader.begin(png)) return std::nullopt;
    // libpng refuses headers past 2^31 - 1 per side, so both fit an int.
    return std::pair{int(reader.image.width), int(reader.image.height)};
}

std::optional<RgbaBitmap> ZlibPngCodec::decodePng(std::span<const uint8_t> png, int maxSide) const
{
    PngReader reader;
    if (!reader.begin(png)) return std::nullopt;
    const png_uint_32 width = reader.image.width;
    const png_uint_32 height = reader.image.height;
    if (width < 1 || height < 1 || maxSide < 1 || width > png_uint_32(maxSide) || height > png_uint_32(maxSide))
        return std::nullopt;
    reader.image.format = PNG_FORMAT_RGBA;
    RgbaBitmap bitmap;
    bitmap.bytes.resize(size_t(width) * height * 4);
    if (!png_image_finish_read(&reader.image, nullptr, bitmap.bytes.data(), 0, nullptr)) return std::nullopt;
    bitmap.width = int(width);
    bitmap.height = int(height);
    RgbaBitmap::premultiplyAlpha(bitmap.bytes);
    return bitmap;
}

} // namespace corvix
