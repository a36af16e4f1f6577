#include "terminal/graphics/KittyPayloadLoader.hpp"

#include "GraphicsTestSupport.hpp"
#include "tests/support/AllocationCounter.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

using namespace corvix;
using namespace corvix::test;
using namespace std::chrono_literals;

namespace {

constexpr std::string_view kBadPayload = "EINVAL: bad payload";
constexpr std::string_view kBadPath = "EINVAL: bad path";
constexpr std::string_view kBadTempPath = "EINVAL: bad temp path";
constexpr const char* kPixel = "f=24,s=1,v=1";
const std::vector<uint8_t> kPixelBytes = {10, 20, 30};
const std::vector<uint8_t> kPixelRgba = {10, 20, 30, 255};

KittyGraphicsControl controlOf(const std::string& keys)
{
    return parseKittyGraphicsControl(spanOf(keys)).first;
}

KittyPayloadResult load(const std::string& keys, const std::string& payload)
{
    return KittyPayloadLoader().loadKittyPayload(controlOf(keys), spanOf(payload));
}

// The RGBA bytes of a successful load, or the error text.
std::string outcome(const KittyPayloadResult& result)
{
    if (!result.payload) return std::string(result.error);
    EXPECT_TRUE(result.error.empty());
    return std::string(result.payload->bytes.begin(), result.payload->bytes.end());
}

std::string text(const std::vector<uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

bool exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// A file of `size` bytes that takes no disk space.
std::string sparseFile(const ScratchFolder& folder, const std::string& name, off_t size)
{
    const std::string path = folder.path + "/" + name;
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    return path;
}

// Runs `load`, failing the test when it is still blocked after a while on the FIFO at `fifo`
// (a writer is then opened there to set it free).
KittyPayloadResult withoutBlocking(const std::string& fifo, std::function<KittyPayloadResult()> load)
{
    auto result = std::async(std::launch::async, std::move(load));
    if (result.wait_for(10s) == std::future_status::timeout) {
        ADD_FAILURE() << "blocked on " << fifo;
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
    }
    return result.get();
}

// A shared-memory object holding `bytes`; unlinked at the end unless the loader did it.
class SharedMemory {
public:
    explicit SharedMemory(std::span<const uint8_t> bytes)
    {
        static int serial = 0;
        name = "/corvix-graphics-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
        const int fd = ::shm_open(name.c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        ::close(fd);
    }
    ~SharedMemory() { ::shm_unlink(name.c_str()); }

    bool exists() const
    {
        const int fd = ::shm_open(name.c_str(), O_RDONLY, 0);
        if (fd >= 0) ::close(fd);
        return fd >= 0;
    }

    std::string name;
};

// Sets an environment variable for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name(name)
    {
        if (const char* old = std::getenv(name)) saved = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnvironment()
    {
        if (saved) {
            ::setenv(name, saved->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

private:
    const char* name;
    std::optional<std::string> saved;
};

// A DEFLATE stream of `prefix` followed by `count` zero bytes, made without holding them.
std::vector<uint8_t> deflatedZeros(size_t count, std::span<const uint8_t> prefix = {})
{
    const std::vector<uint8_t> zeros(size_t{1} << 20, 0);
    z_stream z{};
    deflateInit(&z, 1);
    std::vector<uint8_t> out;
    std::vector<uint8_t> block(size_t{1} << 16);
    if (!prefix.empty()) {
        z.next_in = const_cast<Bytef*>(prefix.data());
        z.avail_in = uInt(prefix.size());
        do {
            z.next_out = block.data();
            z.avail_out = uInt(block.size());
            deflate(&z, Z_NO_FLUSH);
            out.insert(out.end(), block.begin(), block.end() - z.avail_out);
        } while (z.avail_in > 0 || z.avail_out == 0);
    }
    while (true) {
        const bool last = count <= zeros.size();
        const size_t piece = last ? count : zeros.size();
        count -= piece;
        z.next_in = const_cast<Bytef*>(zeros.data());
        z.avail_in = uInt(piece);
        int status = Z_OK;
        do {
            z.next_out = block.data();
            z.avail_out = uInt(block.size());
            status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            out.insert(out.end(), block.begin(), block.end() - z.avail_out);
        } while (z.avail_out == 0 || (last && status != Z_STREAM_END));
        if (last) break;
    }
    deflateEnd(&z);
    return out;
}

} // namespace

TEST(KittyPayloadLoader, RawPixelsAreCheckedAndConverted)
{
    const struct {
        std::string keys;
        std::vector<uint8_t> raw;
        std::optional<std::vector<uint8_t>> rgba;
    } cases[] = {
        {kPixel, kPixelBytes, kPixelRgba},
        {"f=24,s=2,v=1", {1, 2, 3, 4, 5, 6}, std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}},
        {"f=24,s=1,v=1", {1, 2}, std::nullopt},
        {"f=32,s=2,v=2", std::vector<uint8_t>(15, 255), std::nullopt},
        {"f=32,s=2,v=2", std::vector<uint8_t>(16, 255), std::vector<uint8_t>(16, 255)},
        // Straight alpha in, premultiplied out.
        {"f=32,s=2,v=1", {200, 100, 50, 128, 9, 9, 9, 0}, std::vector<uint8_t>{100, 50, 25, 128, 0, 0, 0, 0}},
        {"f=32,s=1", {1, 2, 3, 4}, std::nullopt},
        {"f=24,s=0,v=1", {}, std::nullopt},
        {"f=24,s=10001,v=1", std::vector<uint8_t>(30003, 1), std::nullopt},
        {"f=7,s=1,v=1", {1, 2, 3}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        const auto payload = KittyPayloadLoader().decodeKittyPayload(controlOf(c.keys), spanOf(base64(c.raw)));
        ASSERT_EQ(payload.has_value(), c.rgba.has_value());
        if (!payload) continue;
        EXPECT_EQ(payload->kind, KittyGraphicsPayload::Kind::rgba);
        EXPECT_EQ(payload->bytes, *c.rgba);
        EXPECT_EQ(int64_t(payload->width) * payload->height * 4, int64_t(c.rgba->size()));
    }
}

TEST(KittyPayloadLoader, InlineBase64SkipsBytesOutsideTheAlphabet)
{
    EXPECT_EQ(outcome(load(kPixel, "Ch\r\nQ e")), text(kPixelRgba));
    EXPECT_EQ(outcome(load(kPixel, "ChQ")), kBadPayload);
    EXPECT_EQ(outcome(load(kPixel, "")), kBadPayload);
    EXPECT_EQ(outcome(load(std::string(kPixel) + ",t=x", "ChQe")), "ENOTSUP: unsupported transmission");
}

TEST(KittyPayloadLoader, PngStaysEncodedWithinItsBounds)
{
    const std::vector<uint8_t> pixels = {200, 100, 50, 128, 1, 2, 3, 255};
    const auto png = encodePng(pixels, 2, 1);
    const auto payload = KittyPayloadLoader().decodeKittyPayload(controlOf("f=100"), spanOf(base64(png)));
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->kind, KittyGraphicsPayload::Kind::png);
    EXPECT_EQ(payload->bytes, png);

    const KittyPayloadLoader loader;
    const auto decoded = loader.decodePngToRgba(png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 2);
    EXPECT_EQ(decoded->height, 1);
    EXPECT_EQ(decoded->bytes, (std::vector<uint8_t>{100, 50, 25, 128, 1, 2, 3, 255}));

    const auto wide = encodePng(std::vector<uint8_t>(10001 * 4, 255), 10001, 1);
    EXPECT_FALSE(loader.validateKittyPngDimensions(wide));
    EXPECT_EQ(loader.kittyPngPixelSize(wide), (std::pair{10001, 1}));
    EXPECT_FALSE(loader.decodePngToRgba(wide));
    EXPECT_FALSE(loader.decodeKittyPayload(controlOf("f=100"), spanOf(base64(wide))));
    EXPECT_FALSE(loader.decodeKittyPayload(controlOf("f=100"), spanOf(base64("not a png"))));
    EXPECT_FALSE(loader.kittyPngPixelSize(bytesOf("not a png")));
}

TEST(KittyPayloadLoader, ZlibWithAndWithoutHeader)
{
    const auto withHeader = deflateBytes(kPixelBytes, true);
    const auto raw = deflateBytes(kPixelBytes, false);
    const std::string keys = std::string(kPixel) + ",o=z";
    EXPECT_EQ(outcome(load(keys, base64(withHeader))), text(kPixelRgba));
    EXPECT_EQ(outcome(load(keys, base64(raw))), text(kPixelRgba));
    EXPECT_EQ(outcome(load(std::string(kPixel) + ",o=x", base64(raw))), kBadPayload);
    // Cut short: the raw stream loses its end, the zlib stream its checksum.
    EXPECT_EQ(outcome(load(keys, base64(std::span(raw).first(raw.size() - 1)))), kBadPayload);
    EXPECT_EQ(outcome(load(keys, base64(std::span(withHeader).first(withHeader.size() - 1)))), kBadPayload);
    EXPECT_EQ(outcome(load(keys, base64(kPixelBytes))), kBadPayload);
}

TEST(KittyPayloadLoader, InflationStopsAtTheLimit)
{
    // The codec's bound is exact...
    const size_t small = 100000;
    const auto stream = deflatedZeros(small);
    EXPECT_EQ(GraphicsCodec::standard().inflate(stream, small)->size(), small);
    EXPECT_FALSE(GraphicsCodec::standard().inflate(stream, small - 1));

    // ... and a payload that would inflate to 1 GiB stops once past 400 MiB.
    const auto bomb = deflatedZeros(size_t{1} << 30);
    AllocationCounter allocations;
    EXPECT_FALSE(KittyPayloadLoader().decompressKittyData(bomb, controlOf("f=32,s=10000,v=10000,o=z")));
    EXPECT_LT(allocations.largest(), size_t{600} << 20);
}

TEST(KittyPayloadLoader, InflationStopsAtWhatTheImageCanTake)
{
    // Raw pixels inflate to the size "s" and "v" fix, a byte more shows excess; a PNG to the most
    // an uncompressed PNG of its header's sides can take; data that is no PNG stops after the
    // header. The memory taken stays within the bound whatever the stream would inflate to.
    constexpr size_t kBomb = size_t{256} << 20;
    const std::vector<uint8_t> pixels(100 * 100 * 4, 7);
    const std::vector<uint8_t> smallPng = encodePng(std::span(pixels).first(4), 1, 1);
    const std::vector<uint8_t> png = encodePng(pixels, 100, 100);
    const size_t largestSmallPng = *KittyPayloadLoader::kittyLargestPngSize(smallPng);
    struct Case {
        const char* name;
        std::string keys;
        std::vector<uint8_t> stream;
        bool loads;
        // The largest single allocation while loading (the stream and its base64 text included).
        size_t largestAllocation;
    };
    const Case cases[] = {
        {"1x1 RGBA inflating to 256 MiB", "a=T,f=32,s=1,v=1,o=z", deflatedZeros(kBomb), false, 1 << 20},
        {"1x1 RGB inflating to 256 MiB", "a=T,f=24,s=1,v=1,o=z", deflatedZeros(kBomb), false, 1 << 20},
        {"query of a 1x1 RGBA inflating to 256 MiB", "a=q,f=32,s=1,v=1,o=z", deflatedZeros(kBomb), false, 1 << 20},
        {"100x100 RGBA exactly", "a=T,f=32,s=100,v=100,o=z", deflatedZeros(40000), true, 40001},
        {"100x100 RGBA a byte over", "a=T,f=32,s=100,v=100,o=z", deflatedZeros(40001), false, 40001},
        {"100x100 RGB inflating to 256 MiB", "a=T,f=24,s=100,v=100,o=z", deflatedZeros(kBomb), false, 1 << 20},
        {"1x1 PNG followed by 256 MiB", "a=T,f=100,o=z", deflatedZeros(kBomb, smallPng), false, 2 * largestSmallPng},
        {"256 MiB that are no PNG", "a=T,f=100,o=z", deflatedZeros(kBomb), false, 1 << 20},
        {"100x100 PNG", "a=T,f=100,o=z", deflateBytes(png, true), true, 1 << 20},
    };
    EXPECT_LT(largestSmallPng, size_t{2} << 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = base64(c.stream);
        AllocationCounter allocations;
        const auto payload = KittyPayloadLoader().decodeKittyPayload(controlOf(c.keys), spanOf(text));
        EXPECT_EQ(payload.has_value(), c.loads);
        EXPECT_LE(allocations.largest(), std::max(c.largestAllocation, text.size() * 3 / 4 + 3));
    }
}

TEST(KittyPayloadLoader, FileMediumReadsRegularFilesOutsideTheSystemFolders)
{
    ScratchFolder folder;
    const std::string file = folder.write("pixel", kPixelBytes);
    const std::string link = folder.path + "/to-null";
    ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
    const std::string fifo = folder.path + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = sparseFile(folder, "huge", off_t(KittyGraphicsPayload::kMaxBytes) + 1);
    const std::string keys = std::string(kPixel) + ",t=f";
    const struct {
        std::string payload;
        std::string outcome;
    } cases[] = {
        {base64(file), text(kPixelRgba)},
        {base64("/dev/null"), std::string(kBadPath)},
        {base64(link), std::string(kBadPath)},
        {base64("/proc/self/status"), std::string(kBadPath)},
        {base64(folder.path + "/missing"), std::string(kBadPath)},
        {base64(file + std::string(1, '\0')), std::string(kBadPath)},
        {base64(folder.path + "/\xff"), std::string(kBadPath)},
        {"", std::string(kBadPayload)},
        {"AAA", std::string(kBadPayload)},
        {base64(folder.path), std::string(kBadPayload)},
        {base64(fifo), std::string(kBadPayload)},
        {base64(huge), std::string(kBadPayload)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.payload);
        EXPECT_EQ(outcome(withoutBlocking(fifo, [&] { return load(keys, c.payload); })), c.outcome);
    }
    // Files named by "t=f" are never removed.
    EXPECT_TRUE(exists(file));
    EXPECT_TRUE(exists(fifo));
    EXPECT_TRUE(exists(huge));
}

TEST(KittyPayloadLoader, FileReadsHonourOffsetAndSize)
{
    ScratchFolder folder;
    const std::string file = folder.write("ten", bytesOf("0123456789"));
    const struct {
        int64_t offset;
        int64_t size;
        std::optional<std::string> bytes;
    } cases[] = {
        {0, 0, "0123456789"}, {2, 3, "234"},        {8, 0, "89"},         {8, 5, "89"},
        {10, 0, ""},          {11, 0, std::nullopt}, {-1, 0, std::nullopt}, {0, -1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + "," + std::to_string(c.size));
        const auto data = KittyPayloadLoader::readKittyFileData(file, c.offset, c.size, false);
        ASSERT_EQ(data.has_value(), c.bytes.has_value());
        if (data) {
            EXPECT_EQ(text(*data), *c.bytes);
        }
    }
}

TEST(KittyPayloadLoader, TemporaryFilesGoOnlyOnceTheirChecksPass)
{
    ScratchFolder folder;
    const std::string marked = "tty-graphics-protocol-";
    const std::string fifo = folder.path + "/" + marked + "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string keys;
        std::string outcome;
        bool kept;
    } cases[] = {
        {folder.write("plain", kPixelBytes), kPixel, std::string(kBadTempPath), true},
        {folder.write(marked + "a", kPixelBytes), kPixel, text(kPixelRgba), false},
        {folder.write(marked + "b", kPixelBytes), std::string(kPixel) + ",O=4", std::string(kBadPayload), true},
        {fifo, kPixel, std::string(kBadPayload), true},
        {sparseFile(folder, marked + "huge", off_t(KittyGraphicsPayload::kMaxBytes) + 1), kPixel,
         std::string(kBadPayload), true},
        // Read, then refused by the format check: gone all the same.
        {folder.write(marked + "c", bytesOf("xy")), kPixel, std::string(kBadPayload), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto result = withoutBlocking(fifo, [&] { return load(c.keys + ",t=t", base64(c.path)); });
        EXPECT_EQ(outcome(result), c.outcome);
        EXPECT_EQ(exists(c.path), c.kept);
    }
}

TEST(KittyPayloadLoader, TemporaryFolderRule)
{
    ScratchFolder folder; // under /tmp
    // A TMPDIR of its own away from /tmp, wherever the build lives, so that every prefix rule runs.
    const ScratchFolder outsideFolder("/var/tmp");
    const std::string outside = std::filesystem::canonical(outsideFolder.path).string();
    ASSERT_FALSE(outside.starts_with("/tmp/")) << outside;
    const std::string alias = folder.path + "/alias";
    std::filesystem::create_directory_symlink(outside, alias);
    const struct {
        std::optional<std::string> tmpdir;
        std::string path;
        bool temporary;
    } cases[] = {
        {std::nullopt, "/tmp/x", true},
        {std::nullopt, "/tmp/a/b", true},
        {std::nullopt, "/tmpX/a", false},
        {std::nullopt, "/tmp", false},
        {std::nullopt, "/tmp/", false},
        {std::nullopt, "/dev/shm/x", true},
        {std::nullopt, "/dev/shmX/x", false},
        {std::nullopt, outside + "/x", false},
        {outside, outside + "/x", true},
        {outside + "/", outside + "/x", true},
        {outside, outside + "X/x", false},
        {alias, outside + "/x", true}, // the folder as resolved
        {"relative", "relative/x", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tmpdir.value_or("(unset)") + " " + c.path);
        ScopedEnvironment tmpdir("TMPDIR", c.tmpdir);
        EXPECT_EQ(KittyPayloadLoader::isKittyTempPath(c.path), c.temporary);
    }
}

TEST(KittyPayloadLoader, SharedMemoryIsReadFromItsOffsetThenUnlinked)
{
    const auto png = encodePng(std::vector<uint8_t>{1, 2, 3, 255}, 1, 1);
    const struct {
        std::vector<uint8_t> bytes;
        std::string keys;
        std::string outcome;
        bool kept;
    } cases[] = {
        {kPixelBytes, kPixel, text(kPixelRgba), false},
        {{9, 9, 1, 2, 3, 255}, "f=32,s=1,v=1,O=2", text({1, 2, 3, 255}), false},
        {{1, 2, 3, 255, 9, 9}, "f=32,s=1,v=1,S=4", text({1, 2, 3, 255}), false},
        {png, "f=100", text(png), false},
        {{9, 1, 2, 3, 255}, "f=100,O=1", std::string(kBadPayload), false}, // not a PNG from there
        {{1, 2, 3}, "f=32,s=1,v=1", std::string(kBadPayload), false},      // smaller than expected
        {{9, 1, 2, 3}, "f=24,s=1,v=1,O=2", std::string(kBadPayload), false},
        {{1, 2, 3, 4}, "f=32", std::string(kBadPayload), true}, // refused before opening
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        SharedMemory object(c.bytes);
        EXPECT_EQ(outcome(load(c.keys + ",t=s", base64(object.name))), c.outcome);
        EXPECT_EQ(object.exists(), c.kept);
    }
    EXPECT_EQ(outcome(load(std::string(kPixel) + ",t=s", base64("/corvix-graphics-missing"))), kBadPayload);
    EXPECT_EQ(outcome(load(std::string(kPixel) + ",t=s", base64(std::string("/a\0b", 4)))), kBadPayload);
}

TEST(KittyPayloadLoader, SharedMemoryFifoDoesNotBlock)
{
    const std::string name = "corvix-graphics-fifo-" + std::to_string(::getpid());
    const std::string fifo = "/dev/shm/" + name;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto result = withoutBlocking(fifo, [&] { return load("f=100,t=s", base64("/" + name)); });
    EXPECT_EQ(outcome(result), kBadPayload);
    EXPECT_TRUE(exists(fifo)); // not a shared-memory object: left alone
    ::unlink(fifo.c_str());
}
