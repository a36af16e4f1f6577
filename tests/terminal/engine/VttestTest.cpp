// vttest, the classic VT100 conformance program, driven through the headless terminal with
// scripted keys. Each screen is compared with a golden dump that was checked once by eye
// (tests/data/vttest/).
#include "terminal/engine/HeadlessTerminal.hpp"

#include "support/HeadlessSession.hpp"
#include "support/ScreenDump.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace corvix;
using corvix::test::Session;

namespace {

const char* kVttest = "/usr/bin/vttest";

std::string golden(const std::string& name)
{
    std::ifstream in(std::string(BRISVANE_TEST_DATA) + "/vttest/" + name + ".txt", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TerminalOptions vt100Screen()
{
    TerminalOptions o;
    o.cols = 80;
    o.rows = 24;
    return o;
}

// Waits until the screen holds `text` and has stopped changing, and returns it.
std::string settledScreenWith(Session& s, const std::string& text)
{
    std::string last;
    bool settled = s.eventually([&] {
        std::string now = test::dumpScreen(s.headless->terminal());
        bool done = now == last && now.find(text) != std::string::npos;
        last = now;
        return done;
    });
    return settled ? last : "(no settled screen with \"" + text + "\"; last:)\n" + last;
}

} // namespace

TEST(Vttest, CursorMovementFirstScreen)
{
    ASSERT_TRUE(std::filesystem::exists(kVttest)) << "vttest is missing: run scripts/install-deps";
    Session s(vt100Screen());
    s.onQueue([&] { s.headless->process().startProcess(kVttest, {}); });
    settledScreenWith(s, "Enter choice number");
    s.onQueue([&] { s.headless->send("1\r"); });
    std::string screen = settledScreenWith(s, "Push <RETURN>");
    if (getenv("VTTEST_PRINT")) std::cout << screen;
    EXPECT_EQ(screen, golden("cursor-movements-1"));
    s.onQueue([&] { s.headless->process().terminate(); });
}
