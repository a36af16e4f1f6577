#include "terminal/session/LocalProcessSession.hpp"
#include "terminal/session/TerminalSession.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using namespace corvix;

namespace {

constexpr int kPatienceMs = 10'000;

std::span<const uint8_t> bytes(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string row(Terminal& terminal, int y)
{
    BufferLine* line = terminal.getLine(y);
    return line ? line->translateToString(true) : std::string();
}

std::string screenWithoutSpaces(Terminal& terminal)
{
    std::string text;
    for (int y = 0; y < terminal.rows; ++y) text += row(terminal, y) + "\n";
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

struct Exits final : LocalProcessSessionDelegate {
    std::vector<std::optional<int32_t>> codes;
    void processTerminated(LocalProcessSession&, std::optional<int32_t> exitCode) override { codes.push_back(exitCode); }
};

} // namespace

TEST(TerminalSession, ViewsAttachToTheSessionWithoutResettingItAndLeaveItWorkingWhenTheyGo)
{
    auto session = std::make_shared<TerminalSession>();
    // Output and a program's own background before any view.
    session->feed(bytes("hello\x1b]11;rgb:12/34/56\x1b\\"));
    EXPECT_EQ(session->view(), nullptr);

    auto first = std::make_unique<TerminalView>(session, QRect(0, 0, 400, 300));
    EXPECT_EQ(session->view(), first.get());
    EXPECT_EQ(&first->getTerminal(), &session->terminal());
    EXPECT_EQ(&first->selectionService(), &session->selection());
    EXPECT_EQ(first->searchService(), &session->search());
    EXPECT_EQ(row(session->terminal(), 0), "hello");
    EXPECT_EQ(first->nativeBackgroundColor().name(), "#123456") << "the program's colour, not the default";

    // A second view takes the engine's callbacks over; the first one going does not detach it.
    auto second = std::make_unique<TerminalView>(session, QRect(0, 0, 400, 300));
    EXPECT_EQ(session->view(), second.get());
    first.reset();
    EXPECT_EQ(session->view(), second.get());
    second->feed(std::string_view(" world"));
    EXPECT_EQ(row(session->terminal(), 0), "hello world");

    second.reset();
    EXPECT_EQ(session->view(), nullptr);
    session->feed(bytes("!"));
    EXPECT_EQ(row(session->terminal(), 0), "hello world!");
}

TEST(TerminalSession, ALocalSessionWithoutAViewReadsItsChildAndAnswersItsQueries)
{
    LocalProcessSession session;
    Exits exits;
    session.processDelegate = &exits;
    // The child asks for the cursor position and prints the answer it reads back: the engine's
    // reply reaches it though no view is attached.
    const std::string script = "stty raw -echo; printf '\\033[6n'; r=$(head -c 6 | od -An -c); stty sane; "
                               "echo; echo reply:$r";
    ASSERT_FALSE(session.process().startProcess("/bin/sh", {"-c", script}, std::vector<std::string>{"PATH=/usr/bin:/bin"},
                                                std::nullopt, std::nullopt));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !exits.codes.empty(); }, kPatienceMs))
        << screenWithoutSpaces(session.terminal());
    EXPECT_NE(screenWithoutSpaces(session.terminal()).find("reply:033[1;1R"), std::string::npos)
        << screenWithoutSpaces(session.terminal());
    EXPECT_EQ(exits.codes, std::vector<std::optional<int32_t>>{0});
}
