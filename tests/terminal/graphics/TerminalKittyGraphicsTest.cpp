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
    EXPECT_EQ(f.terminal.kittyGraphicsState().pending->base64Payload.capacity(), 0u);
    EXPECT_EQ(f.delegate.sent, "");
    f.terminal.kittyImages().handleKittyGraphics(spanOf("m=0,i=6;AAAA"));
    EXPECT_EQ(f.delegate.sent, apc("Gi=5;EINVAL: bad payload"));
    EXPECT_FALSE(f.terminal.kittyGraphicsState().pending.has_value());

    // The terminal carries on with the next command.
    EXPECT_EQ(f.command("a=q,i=9," + std::string(kPixel) + ";AAAA"), apc("Gi=9;OK"));
}
