#include "terminal/view/LocalProcessTerminalView.hpp"
#include "tests/EventLoopMarker.hpp"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;

namespace {

struct ProcessOwner final : LocalProcessTerminalViewDelegate {
    std::vector<std::pair<int, int>> sizes;
    std::vector<QString> titles;
    std::vector<std::optional<int32_t>> exits;

    void sizeChanged(LocalProcessTerminalView&, int cols, int rows) override { sizes.emplace_back(cols, rows); }
    void setTerminalTitle(LocalProcessTerminalView&, const QString& title) override { titles.push_back(title); }
    void hostCurrentDirectoryUpdate(TerminalView&, const std::optional<QString>&) override {}
    void processTerminated(TerminalView&, std::optional<int32_t> exitCode) override { exits.push_back(exitCode); }
};

struct ShellFixture : ::testing::Test {
    ProcessOwner owner;
    LocalProcessTerminalView view{QRect(0, 0, 700, 420)};

    void SetUp() override
    {
        view.processDelegate = &owner;
        view.show();
        QApplication::processEvents();
    }

    void TearDown() override
    {
        if (view.process().running()) view.terminate();
    }

    void startShell()
    {
        // A plain prompt-less shell keeps the screen predictable.
        view.startProcess("/bin/sh", {}, std::vector<std::string>{"TERM=xterm-256color", "PS1=", "PATH=/usr/bin:/bin"},
                          std::nullopt, std::nullopt);
        ASSERT_TRUE(view.process().running());
    }

    std::string screenText()
    {
        Terminal& t = view.getTerminal();
        std::string text;
        for (int row = 0; row < t.rows; row++) {
            std::string line = t.translateBufferLineToString(t.buffer(), t.buffer().yDisp() + row, 0, t.cols);
            line.erase(line.find_last_not_of(' ') + 1);
            text += line + "\n";
        }
        return text;
    }

    bool waitForScreen(const std::string& needle, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return screenText().find(needle) != std::string::npos; }, ms);
    }

    void type(std::string_view text) { view.send(text); }
};

TEST_F(ShellFixture, ChildSeesTheWindowSizeAndItsChanges)
{
    startShell();
    const Terminal& t = view.getTerminal();
    const std::string expected = std::to_string(t.rows) + " " + std::to_string(t.cols);
    type("stty size\r");
    EXPECT_TRUE(waitForScreen("\n" + expected + "\n")) << screenText();

    view.resize(500, 300);
    QApplication::processEvents();
    ASSERT_FALSE(owner.sizes.empty());
    EXPECT_EQ(owner.sizes.back(), std::make_pair(t.cols, t.rows));
    const std::string changed = std::to_string(t.rows) + " " + std::to_string(t.cols);
    ASSERT_NE(changed, expected);
    type("clear; stty size\r");
    EXPECT_TRUE(waitForScreen(changed + "\n")) << screenText();
}

TEST_F(ShellFixture, ResizeBeforeStartTellsNoOne)
{
    view.resize(500, 300);
    QApplication::processEvents();
    EXPECT_TRUE(owner.sizes.empty());
}

TEST_F(ShellFixture, EchoTitleAndExitStatusReachTheOwner)
{
    startShell();
    // Typed as keys, through the view's keyboard handling.
    QTest::keyClicks(&view, "echo hi");
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_TRUE(waitForScreen("\nhi\n")) << screenText();
    type("printf '\\033]2;my title\\007'\r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !owner.titles.empty(); }, 5000));
    EXPECT_EQ(owner.titles.back(), "my title");

    type("exit 3\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !owner.exits.empty(); }, 5000));
    ASSERT_TRUE(owner.exits[0].has_value());
    EXPECT_TRUE(WIFEXITED(*owner.exits[0]));
    EXPECT_EQ(WEXITSTATUS(*owner.exits[0]), 3);
}

TEST_F(ShellFixture, TerminateThenStartGivesAFreshChildAndNoReport)
{
    startShell();
    const int32_t first = view.process().shellPid();
    // Starting again while running does nothing.
    startShell();
    EXPECT_EQ(view.process().shellPid(), first);

    view.terminate();
    EXPECT_FALSE(view.process().running());
    startShell();
    EXPECT_NE(view.process().shellPid(), first);
    type("echo fresh\r");
    EXPECT_TRUE(waitForScreen("\nfresh\n")) << screenText();
    // The fresh child's own end is reported after any report of the first one would have been:
    // it is the one and only report.
    type("exit 5\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !owner.exits.empty(); }, 5000));
    ASSERT_TRUE(waitForEventsDueWithin(50));
    ASSERT_EQ(owner.exits.size(), 1u);
    ASSERT_TRUE(owner.exits[0].has_value());
    EXPECT_TRUE(WIFEXITED(*owner.exits[0]));
    EXPECT_EQ(WEXITSTATUS(*owner.exits[0]), 5);
}

TEST_F(ShellFixture, ClipboardCopyTakesOnlyValidUtf8)
{
    QGuiApplication::clipboard()->setText("before");
    // OSC 52 with base64 of "héllo" and then of a lone 0xff byte.
    view.feed("\x1b]52;c;aMOpbGxv\x07");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("h\xc3\xa9llo"));
    view.feed("\x1b]52;c;/w==\x07");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("h\xc3\xa9llo"));

    TerminalView& base = view;
    EXPECT_EQ(view.clipboardRead(base), (std::vector<uint8_t>{'h', 0xc3, 0xa9, 'l', 'l', 'o'}));
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(view.clipboardRead(base), std::nullopt);
}

TEST_F(ShellFixture, WindowSizeRecordCarriesPixels)
{
    const winsize size = view.getWindowSize();
    const Terminal& t = view.getTerminal();
    EXPECT_EQ(size.ws_row, t.rows);
    EXPECT_EQ(size.ws_col, t.cols);
    EXPECT_EQ(size.ws_xpixel, int(view.cellSize().width() * t.cols));
    EXPECT_EQ(size.ws_ypixel, int(view.cellSize().height() * t.rows));
}

} // namespace
