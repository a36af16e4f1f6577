#include "GraphicsTestSupport.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;
using namespace corvix::test;

namespace {

// One black RGB pixel: "f=24,s=1,v=1" with three zero bytes.
constexpr const char* kPixel = "f=24,s=1,v=1";

struct Fixture {
    ImageDelegate delegate;
    Terminal terminal{&delegate};

    // Sends APC "G" + command and returns what the terminal replied.
    std::string command(const std::string& text)
    {
        delegate.clear();
        terminal.feed("\x1b_G" + text + "\x1b\\");
        return delegate.sent;
    }
};

std::string apc(const std::string& text)
{
    return "\x1b_" + text + "\x1b\\";
}

} // namespace

TEST(TerminalKittyGraphics, RepliesToSingleCommands)
{
    const struct {
        std::string command;
        std::string reply;
    } cases[] = {
        {"a=q,i=31," + std::string(kPixel) + ";AAAA", apc("Gi=31;OK")},
        {"a=q,i=1,I=2,p=3," + std::string(kPixel) + ";AAAA", apc("Gi=1,I=2,p=3;OK")},
        {"a=q,I=2,p=3," + std::string(kPixel) + ";AAAA", apc("GI=2,p=3;OK")},
        {"a=q," + std::string(kPixel) + ";AAAA", apc("G;OK")},
        // Errors name "i", else "I", never "p".
        {"a=q,i=5", apc("Gi=5;EINVAL: bad payload")},
        {"a=q,i=5,I=6,p=7;", apc("Gi=5;EINVAL: bad payload")},
        {"a=q,I=6,p=7;AAAA", apc("GI=6;EINVAL: bad payload")}, // 3 bytes are not one RGBA pixel
        {"a=q,p=7," + std::string(kPixel) + ";AAA", apc("G;EINVAL: bad payload")},
        {"a=x,i=3", apc("Gi=3;EINVAL: unsupported action")},
        // Quiet: any value but 0 silences both kinds.
        {"a=q,q=1,i=31," + std::string(kPixel) + ";AAAA", ""},
        {"a=q,q=1,i=5", ""},
        {"a=x,q=2,i=3", ""},
        {"a=q,q=0,i=5", apc("Gi=5;EINVAL: bad payload")},
        // The query decodes inline data whatever the medium says, and "m" does not hold it.
        {"a=q,i=4,t=f,m=1," + std::string(kPixel) + ";AAAA", apc("Gi=4;OK")},
        {"a=q,i=4,o=z," + std::string(kPixel) + ";AAAA", apc("Gi=4;EINVAL: bad payload")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Fixture f;
        EXPECT_EQ(f.command(c.command), c.reply);
    }
}

TEST(TerminalKittyGraphics, EightBitRepliesUseC1Framing)
{
    Fixture f;
    f.terminal.cc.send8bit = true;
    EXPECT_EQ(f.command("a=q,i=31," + std::string(kPixel) + ";AAAA"), "\x9fGi=31;OK\x9c");
    EXPECT_EQ(f.command("a=x,I=2"), "\x9fGI=2;EINVAL: unsupported action\x9c");
}

TEST(TerminalKittyGraphics, ChunksAreGatheredUnderTheFirstChunksKeys)
{
    Fixture f;
    EXPECT_EQ(f.command("a=q,i=7,m=1," + std::string(kPixel) + ";AA"), "");
    EXPECT_TRUE(f.terminal.kittyGraphicsState().pending.has_value());
    // Later chunks change no key, "q" and "i" included; only "m=1" keeps the transfer open.
    EXPECT_EQ(f.command("m=1,q=1,i=99;\n"), "");
    EXPECT_EQ(f.command("m=2,q=1,i=99,a=x;AA"), apc("Gi=7;OK"));
    EXPECT_FALSE(f.terminal.kittyGraphicsState().pending.has_value());

    // The same gathered text with a bad end fails under the first chunk's id.
    f.command("a=q,i=8,m=1," + std::string(kPixel) + ";AA");
    EXPECT_EQ(f.command("m=0;A"), apc("Gi=8;EINVAL: bad payload"));
}

TEST(TerminalKittyGraphics, DeleteAbandonsAnUnfinishedTransfer)
{
    for (const char* remove : {"a=d", "a=D,d=i,i=1"}) {
        SCOPED_TRACE(remove);
        Fixture f;
        f.command("a=q,i=7,m=1," + std::string(kPixel) + ";AA");
        EXPECT_EQ(f.command(remove), "");
        EXPECT_FALSE(f.terminal.kittyGraphicsState().pending.has_value());
        // The next last chunk is a command of its own.
        EXPECT_EQ(f.command("a=q,i=8," + std::string(kPixel) + ";AAAA"), apc("Gi=8;OK"));
    }
}

TEST(TerminalKittyGraphics, OversizedTransferEndsInOneError)
{
    Fixture f;
    // 64 MiB per chunk, the parser's bound on one string: the ninth passes 400 MiB of payload.
    std::string chunk = "a=q,i=5,m=1;" + std::string(size_t{64} << 20, 'A');
    const auto bytes = spanOf(chunk);
    for (int i = 0; i < 10; i++) f.terminal.kittyImages().handleKittyGraphics(bytes);
    ASSERT_TRUE(f.terminal.kittyGraphicsState().pending.has_value());
    EXPECT_TRUE(f.terminal.kittyGraphicsState().pending->oversized);
    EXPECT_EQ(f.terminal.kittyGraphicsState().pending->heldBytes(), 0u);
    EXPECT_EQ(f.delegate.sent, "");
    f.terminal.kittyImages().handleKittyGraphics(spanOf("m=0,i=6;AAAA"));
    EXPECT_EQ(f.delegate.sent, apc("Gi=5;EINVAL: bad payload"));
    EXPECT_FALSE(f.terminal.kittyGraphicsState().pending.has_value());

    // The terminal carries on with the next command.
    EXPECT_EQ(f.command("a=q,i=9," + std::string(kPixel) + ";AAAA"), apc("Gi=9;OK"));
}

TEST(TerminalKittyGraphics, UnfinishedTransferIsHeldToTheImageBudget)
{
    // The text held between chunks counts against the image budget (the store's cache limit):
    // the transfer is given up, its memory let go, once the text would pass it; until then the
    // text holds at most one block of room more than it needs. A reset does not end a transfer.
    constexpr size_t kMiB = size_t{1} << 20;
    constexpr size_t kBlock = KittyGraphicsPending::kBlockBytes;
    struct Case {
        const char* name;
        int64_t limit;
        size_t chunkBytes;
        size_t chunks;
        bool resetBetweenChunks;
        // The chunk (from 1) that gives the transfer up; 0: it finishes.
        size_t givenUpAt;
    };
    const Case cases[] = {
        {"default budget, 64 MiB chunks", int64_t{320} << 20, 64 * kMiB, 7, false, 6},
        {"8 MiB budget, 1 MiB chunks", 8 << 20, kMiB, 10, false, 9},
        {"8 MiB budget, 4 KiB chunks", 8 << 20, 4096, 2100, false, 2049},
        {"4 MiB budget, resets between chunks", 4 << 20, kMiB, 6, true, 5},
        {"budget 0", 0, 4096, 2, false, 1},
        {"8 MiB budget, 7 MiB of text", 8 << 20, 7 * kMiB / 4096 * 4096 / 10, 10, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.terminal.options.kittyImageCacheLimitBytes = c.limit;
        const std::string text(c.chunkBytes, 'A');
        const std::string first = "a=q,i=5,m=1;" + text;
        const std::string next = "m=1;" + text;
        size_t largestHeld = 0;
        for (size_t i = 1; i <= c.chunks; i++) {
            f.terminal.kittyImages().handleKittyGraphics(spanOf(i == 1 ? first : next));
            if (c.resetBetweenChunks) f.terminal.feed("\x1b" "c");
            ASSERT_TRUE(f.terminal.kittyGraphicsState().pending.has_value());
            const KittyGraphicsPending& pending = *f.terminal.kittyGraphicsState().pending;
            EXPECT_EQ(pending.oversized, c.givenUpAt != 0 && i >= c.givenUpAt) << "chunk " << i;
            largestHeld = std::max(largestHeld, pending.heldBytes());
            if (pending.oversized) {
                EXPECT_EQ(pending.heldBytes(), 0u);
            } else {
                EXPECT_LE(pending.heldBytes(), pending.size + kBlock);
            }
        }
        EXPECT_LE(largestHeld, size_t(c.limit) + kBlock);
        EXPECT_EQ(f.delegate.sent, "");
        f.terminal.kittyImages().handleKittyGraphics(spanOf("m=0;"));
        // All "A": zero bytes, which no format takes without a size; given up, the same error.
        EXPECT_EQ(f.delegate.sent, apc("Gi=5;EINVAL: bad payload"));
        EXPECT_FALSE(f.terminal.kittyGraphicsState().pending.has_value());
    }
}

TEST(TerminalKittyGraphics, ChunkedTransferDecodesAcrossBlocks)
{
    // An image sent in many chunks, its text spanning several blocks, arrives whole; padding
    // anywhere but at the very end, or a text whose length is no multiple of four, is refused.
    constexpr int kSide = 1000;
    std::vector<uint8_t> pixels(size_t(kSide) * kSide * 3);
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = uint8_t(i * 7 + i / 4096);
    const std::string text = base64(pixels);
    ASSERT_GT(text.size(), 2 * KittyGraphicsPending::kBlockBytes);
    const std::string keys = "a=t,i=4,f=24,s=" + std::to_string(kSide) + ",v=" + std::to_string(kSide);
    const auto send = [&](Fixture& f, const std::string& body) {
        for (size_t at = 0; at < body.size(); at += 4096) {
            const std::string chunk = body.substr(at, 4096);
            f.terminal.kittyImages().handleKittyGraphics(spanOf((at == 0 ? keys + ",m=1;" : std::string("m=1;")) + chunk));
        }
        f.delegate.clear();
        f.terminal.kittyImages().handleKittyGraphics(spanOf("m=0;"));
        return f.delegate.sent;
    };
    {
        Fixture f;
        EXPECT_EQ(send(f, text), apc("Gi=4;OK"));
        ASSERT_TRUE(f.terminal.kittyGraphicsState().imagesById.contains(4));
        const std::vector<uint8_t>& rgba = f.terminal.kittyGraphicsState().imagesById.at(4).payload.bytes;
        ASSERT_EQ(rgba.size(), size_t(kSide) * kSide * 4);
        bool same = true;
        for (size_t p = 0; p < size_t(kSide) * kSide; p++)
            same = same && rgba[4 * p] == pixels[3 * p] && rgba[4 * p + 1] == pixels[3 * p + 1] &&
                   rgba[4 * p + 2] == pixels[3 * p + 2] && rgba[4 * p + 3] == 255;
        EXPECT_TRUE(same);
    }
    std::string padded = text;
    padded[KittyGraphicsPending::kBlockBytes + 3] = '=';
    for (const std::string& bad : {padded, text.substr(0, text.size() - 1)}) {
        Fixture f;
        EXPECT_EQ(send(f, bad), apc("Gi=4;EINVAL: bad payload"));
    }
}
