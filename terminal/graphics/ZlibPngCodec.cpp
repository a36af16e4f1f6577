#include "terminal/graphics/ZlibPngCodec.hpp"

#include <png.h>
#include <zlib.h>

#include <algorithm>

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

std::optional<std::vector<uint8_t>> ZlibPngCodec::inflate(std::span<const uint8_t> data, size_t maxOutput) const
{
    constexpr size_t kOutputBlock = 65536;
    // zlib counts input in 32-bit units: feed large inputs in pieces.
    constexpr size_t kInputPiece = size_t{1} << 30;

    InflateStream stream;
    if (inflateInit2(&stream.z, startsWithZlibHeader(data) ? MAX_WBITS : -MAX_WBITS) != Z_OK) return std::nullopt;
    stream.live = true;

    std::vector<uint8_t> out;
    size_t fed = 0;
    while (true) {
        if (stream.z.avail_in == 0 && fed < data.size()) {
            const size_t piece = std::min(data.size() - fed, kInputPiece);
            stream.z.next_in = const_cast<Bytef*>(data.data() + fed);
            stream.z.avail_in = uInt(piece);
            fed += piece;
        }
        const size_t before = out.size();
        out.resize(before + kOutputBlock);
        stream.z.next_out = out.data() + before;
        stream.z.avail_out = uInt(kOutputBlock);
        const int status = ::inflate(&stream.z, Z_NO_FLUSH);
        out.resize(before + kOutputBlock - stream.z.avail_out);
        if (out.size() > maxOutput) return std::nullopt;
        if (status == Z_STREAM_END) return out;
        if (status == Z_BUF_ERROR && (stream.z.avail_in > 0 || fed < data.size())) continue;
        // Z_BUF_ERROR with all input used: the stream was cut short.
        if (status != Z_OK) return std::nullopt;
    }
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
