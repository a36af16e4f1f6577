#include "terminal/graphics/KittyPayloadLoader.hpp"

#include "terminal/graphics/Base64.hpp"
#include "terminal/screen/Utf8.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace corvix {

namespace {

constexpr std::string_view kBadPayload = "EINVAL: bad payload";
constexpr std::string_view kBadPath = "EINVAL: bad path";
constexpr std::string_view kBadTempPath = "EINVAL: bad temp path";
constexpr std::string_view kUnsupportedTransmission = "ENOTSUP: unsupported transmission";
// Temporary files must carry this in their path.
constexpr std::string_view kTempFileMarker = "tty-graphics-protocol";
constexpr size_t kMaxBytes = KittyGraphicsPayload::kMaxBytes;

// Runs its action when the scope ends, however it ends.
template <typename Action>
struct AtExit {
    Action action;
    ~AtExit() { action(); }
};
template <typename Action>
AtExit(Action) -> AtExit<Action>;

struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0) ::close(fd);
    }
};

KittyPayloadResult failure(std::string_view message)
{
    return {std::nullopt, message};
}

// A path or name from decoded payload bytes: no zero byte, valid UTF-8.
std::optional<std::string> nameText(const std::vector<uint8_t>& bytes)
{
    const std::string text(bytes.begin(), bytes.end());
    if (text.empty() || text.find('\0') != std::string::npos || !Utf8::isValid(text)) return std::nullopt;
    return text;
}

// `path` lies inside directory `dir` (given with or without a trailing slash).
bool isInside(std::string_view path, std::string_view dir)
{
    while (!dir.empty() && dir.back() == '/') dir.remove_suffix(1);
    return !dir.empty() && path.size() > dir.size() + 1 && path.starts_with(dir) && path[dir.size()] == '/';
}

// Reads up to `length` bytes from `offset` in pieces, stopping early where the data ends; the
// count read, or nothing on a read error.
std::optional<size_t> readAt(int fd, uint8_t* into, size_t length, int64_t offset)
{
    constexpr size_t kPiece = size_t{1} << 20;
    size_t got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, into + got, std::min(length - got, kPiece), off_t(offset + int64_t(got)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    return got;
}

} // namespace

KittyPayloadResult KittyPayloadLoader::loadKittyPayload(const KittyGraphicsControl& control,
                                                        std::span<const uint8_t> base64Payload) const
{
    switch (control.transmission) {
    case 'd':
        if (auto payload = decodeKittyPayload(control, base64Payload)) return {std::move(payload), {}};
        return failure(kBadPayload);
    case 'f': return loadKittyFilePayload(control, base64Payload, false);
    case 't': return loadKittyFilePayload(control, base64Payload, true);
    case 's': return loadKittySharedMemoryPayload(control, base64Payload);
    default: return failure(kUnsupportedTransmission);
    }
}

std::optional<KittyGraphicsPayload> KittyPayloadLoader::decodeKittyPayload(const KittyGraphicsControl& control,
                                                                           std::span<const uint8_t> base64Payload) const
{
    if (base64Payload.empty()) return std::nullopt;
    auto data = decodeBase64(base64Payload);
    if (!data) return std::nullopt;
    return decodeKittyPayloadBytes(control, std::move(*data));
}

std::optional<KittyGraphicsPayload> KittyPayloadLoader::decodeKittyPayloadBytes(const KittyGraphicsControl& control,
                                                                                std::vector<uint8_t> data) const
{
    if (data.size() > kMaxBytes) return std::nullopt;
    auto inflated = decompressKittyData(std::move(data), control);
    if (!inflated) return std::nullopt;
    return decodeKittyPayloadData(control, std::move(*inflated));
}

KittyPayloadResult KittyPayloadLoader::loadKittyFilePayload(const KittyGraphicsControl& control,
                                                            std::span<const uint8_t> base64Payload,
                                                            bool temporary) const
{
    const auto pathBytes = decodeBase64(base64Payload);
    if (!pathBytes || pathBytes->empty()) return failure(kBadPayload);
    const auto path = nameText(*pathBytes);
    if (!path) return failure(kBadPath);
    const auto resolved = resolveKittyRealPath(*path);
    if (!resolved) return failure(kBadPath);
    const std::string_view real = *resolved;
    if (real.starts_with("/proc/") || real.starts_with("/sys/") ||
        (real.starts_with("/dev/") && !real.starts_with("/dev/shm/")))
        return failure(kBadPath);
    if (temporary && (!isKittyTempPath(*resolved) || real.find(kTempFileMarker) == std::string_view::npos))
        return failure(kBadTempPath);

    auto data = readKittyFileData(*resolved, control.dataOffset, control.dataSize, temporary);
    if (!data) return failure(kBadPayload);
    auto inflated = decompressKittyData(std::move(*data), control);
    if (!inflated) return failure(kBadPayload);
    auto payload = decodeKittyPayloadData(control, std::move(*inflated));
    if (!payload) return failure(kBadPayload);
    return {std::move(payload), {}};
}

KittyPayloadResult KittyPayloadLoader::loadKittySharedMemoryPayload(const KittyGraphicsControl& control,
                                                                    std::span<const uint8_t> base64Payload) const
{
    const auto nameBytes = decodeBase64(base64Payload);
    const auto name = nameBytes ? nameText(*nameBytes) : std::nullopt;
    if (!name) return failure(kBadPayload);
    const auto expected = kittyExpectedDataSize(control);
    if (control.format != 100 && !expected) return failure(kBadPayload);

    auto data = readKittySharedMemory(*name, expected, control.dataOffset, control.dataSize);
    if (!data) return failure(kBadPayload);
    auto inflated = decompressKittyData(std::move(*data), control);
    if (!inflated) return failure(kBadPayload);
    auto payload = decodeKittyPayloadData(control, std::move(*inflated));
    if (!payload) return failure(kBadPayload);
    return {std::move(payload), {}};
}

std::optional<std::vector<uint8_t>> KittyPayloadLoader::readKittyFileData(const std::string& path, int64_t offset,
                                                                          int64_t size, bool deleteAfterRead)
{
    if (offset < 0 || size < 0) return std::nullopt;
    // The checks run on what was opened, not on the path: a FIFO or device opens at once without
    // blocking and is refused, and a link swapped in after the path was resolved is not followed.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    if (info.st_size > int64_t(kMaxBytes) || info.st_size < offset) return std::nullopt;

    // Past the checks a temporary file goes, whatever happens next.
    AtExit removeFile{[&] {
        if (deleteAfterRead) ::unlink(path.c_str());
    }};
    const int64_t limit = size > 0 && size < int64_t(kMaxBytes) ? size : int64_t(kMaxBytes);
    const int64_t length = std::min(int64_t(info.st_size) - offset, limit);
    if (length < 1) return std::vector<uint8_t>();
    std::vector<uint8_t> data(size_t(length), 0);
    // A file cut short meanwhile gives what it still holds.
    const auto got = readAt(file.fd, data.data(), data.size(), offset);
    if (!got) return std::nullopt;
    data.resize(*got);
    return data;
}

std::optional<std::vector<uint8_t>> KittyPayloadLoader::readKittySharedMemory(const std::string& name,
                                                                              std::optional<int64_t> expectedSize,
                                                                              int64_t offset, int64_t size)
{
    if (offset < 0 || size < 0) return std::nullopt;
    // Non-blocking: a FIFO made in the shared-memory folder would otherwise block the open.
    Descriptor object{::shm_open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0)};
    if (object.fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(object.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;

    // A shared-memory object, once opened, is consumed.
    AtExit removeObject{[&] { ::shm_unlink(name.c_str()); }};
    const int64_t objectSize = info.st_size;
    if (objectSize < 1 || objectSize > int64_t(kMaxBytes)) return std::nullopt;
    int64_t end = objectSize;
    if (expectedSize && (*expectedSize < 0 || __builtin_add_overflow(offset, *expectedSize, &end)))
        return std::nullopt;
    if (size > 0) {
        int64_t requestedEnd = 0;
        if (__builtin_add_overflow(offset, size, &requestedEnd)) return std::nullopt;
        end = std::min(end, requestedEnd);
    }
    if (end <= offset || end > objectSize) return std::nullopt;
    // Read rather than mapped: an object shrunk by its writer then gives a short read, not a
    // bus error.
    std::vector<uint8_t> data(size_t(end - offset), 0);
    if (readAt(object.fd, data.data(), data.size(), offset) != data.size()) return std::nullopt;
    return data;
}

std::optional<std::string> KittyPayloadLoader::resolveKittyRealPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string result(resolved);
    std::free(resolved);
    if (result.size() >= PATH_MAX) return std::nullopt;
    return result;
}

bool KittyPayloadLoader::isKittyTempPath(const std::string& path)
{
    if (isInside(path, "/tmp") || isInside(path, "/dev/shm")) return true;
    const char* variable = std::getenv("TMPDIR");
    // A relative or empty value names no folder.
    if (!variable || variable[0] != '/') return false;
    const std::string folder(variable);
    if (isInside(path, folder)) return true;
    const auto realFolder = resolveKittyRealPath(folder);
    return realFolder && isInside(path, *realFolder);
}

std::optional<int64_t> KittyPayloadLoader::kittyExpectedDataSize(const KittyGraphicsControl& control)
{
    const int64_t bytesPerPixel = control.format == 32 ? 4 : control.format == 24 ? 3 : 0;
    const auto inRange = [](int64_t side) { return side >= 1 && side <= KittyGraphicsPayload::kMaxSide; };
    if (bytesPerPixel == 0 || !inRange(control.width) || !inRange(control.height)) return std::nullopt;
    return control.width * control.height * bytesPerPixel;
}

std::optional<std::vector<uint8_t>> KittyPayloadLoader::decompressKittyData(std::vector<uint8_t> data,
                                                                            const KittyGraphicsControl& control) const
{
    if (control.compression && *control.compression != 'z') return std::nullopt;
    if (control.compression) return decompressZlib(data, control);
    if (data.size() > kMaxBytes) return std::nullopt;
    return data;
}

std::optional<std::vector<uint8_t>> KittyPayloadLoader::decompressZlib(std::span<const uint8_t> data,
                                                                       const KittyGraphicsControl& control) const
{
    if (control.format == 100) {
        // The file's header comes first: it says how large the rest can be.
        const auto header = codec.inflatePrefix(data, kPngHeaderBytes);
        const auto largest = header ? kittyLargestPngSize(*header) : std::nullopt;
        if (!largest) return std::nullopt;
        return codec.inflate(data, std::min(*largest, kMaxBytes));
    }
    // Raw pixels must come to exactly this size anyway.
    const auto expected = kittyExpectedDataSize(control);
    if (!expected || size_t(*expected) > kMaxBytes) return std::nullopt;
    return codec.inflate(data, size_t(*expected), true);
}

std::optional<size_t> KittyPayloadLoader::kittyLargestPngSize(std::span<const uint8_t> header)
{
    static constexpr uint8_t kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    if (header.size() < kPngHeaderBytes || !std::equal(std::begin(kStart), std::end(kStart), header.begin()))
        return std::nullopt;
    const auto word = [&](size_t at) {
        return uint64_t(header[at]) << 24 | uint64_t(header[at + 1]) << 16 | uint64_t(header[at + 2]) << 8 | header[at + 3];
    };
    const uint64_t width = word(16);
    const uint64_t height = word(20);
    const unsigned depth = header[24];
    const unsigned colourType = header[25];
    const bool interlaced = header[28] != 0;
    const auto side = [](uint64_t n) { return n >= 1 && n <= uint64_t(KittyGraphicsPayload::kMaxSide); };
    if (!side(width) || !side(height)) return std::nullopt;
    // Samples per pixel by colour type; depths up to 16 bits a sample.
    unsigned channels = 0;
    switch (colourType) {
    case 0: case 3: channels = 1; break;
    case 2: channels = 3; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: return std::nullopt;
    }
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return std::nullopt;
    // Filtered rows: a filter byte each, and a byte of rounding. Interlacing splits the image into
    // seven passes, whose rows come to at most 15/8 of the height plus one per pass.
    const uint64_t rowBytes = (width * channels * depth + 7) / 8 + 2;
    const uint64_t rows = interlaced ? height * 15 / 8 + 7 : height;
    const uint64_t filtered = rows * rowBytes;
    // Stored without compression: 5 bytes a block of 65535, the zlib header and checksum; the data
    // may be split into chunks of 12 bytes' framing each (allowed for every 1 KiB); and 1 MiB for
    // the signature, the header and the other chunks (palette, text, colour profile).
    const uint64_t stored = filtered + (filtered / 65535 + 1) * 5 + 6;
    return size_t(stored + stored / 1024 * 12 + 12 + (uint64_t{1} << 20));
}

std::optional<KittyGraphicsPayload> KittyPayloadLoader::decodeKittyPayloadData(const KittyGraphicsControl& control,
                                                                               std::vector<uint8_t> raw) const
{
    if (raw.size() > kMaxBytes) return std::nullopt;
    if (control.format == 100) {
        if (!validateKittyPngDimensions(raw)) return std::nullopt;
        return KittyGraphicsPayload::png(std::move(raw));
    }
    const auto expected = kittyExpectedDataSize(control);
    if (!expected || int64_t(raw.size()) != *expected) return std::nullopt;
    RgbaBitmap bitmap;
    bitmap.width = int(control.width);
    bitmap.height = int(control.height);
    if (control.format == 32) {
        bitmap.bytes = std::move(raw);
        // Programs send straight alpha; everything past this point holds premultiplied pixels.
        RgbaBitmap::premultiplyAlpha(bitmap.bytes);
    } else {
        bitmap.bytes.resize(raw.size() / 3 * 4);
        for (size_t from = 0, to = 0; from < raw.size(); from += 3, to += 4) {
            bitmap.bytes[to] = raw[from];
            bitmap.bytes[to + 1] = raw[from + 1];
            bitmap.bytes[to + 2] = raw[from + 2];
            bitmap.bytes[to + 3] = 255;
        }
    }
    return KittyGraphicsPayload::rgba(std::move(bitmap));
}

bool KittyPayloadLoader::validateKittyPngDimensions(std::span<const uint8_t> png) const
{
    const auto size = codec.pngSize(png);
    return size && size->first >= 1 && size->first <= KittyGraphicsPayload::kMaxSide && size->second >= 1 &&
           size->second <= KittyGraphicsPayload::kMaxSide;
}

std::optional<std::pair<int, int>> KittyPayloadLoader::kittyPngPixelSize(std::span<const uint8_t> png) const
{
    return codec.pngSize(png);
}

std::optional<RgbaBitmap> KittyPayloadLoader::decodePngToRgba(std::span<const uint8_t> png) const
{
    return codec.decodePng(png, KittyGraphicsPayload::kMaxSide);
}

std::optional<std::vector<uint8_t>> KittyPayloadLoader::decodeBase64(std::span<const uint8_t> text)
{
    if (std::all_of(text.begin(), text.end(), isBase64Byte)) return Base64::decode(text);
    std::vector<uint8_t> kept;
    kept.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept), isBase64Byte);
    return Base64::decode(kept);
}

} // namespace corvix
