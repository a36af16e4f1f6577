#include "terminal/view/TerminalView.hpp"

#include "terminal/view/TerminalFindBarView.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace corvix;

namespace {

struct Host final : TerminalViewDelegate {
    std::string sent;
    void sizeChanged(TerminalView&, int, int) override {}
    void setTerminalTitle(TerminalView&, const QString&) override {}
    void hostCurrentDirectoryUpdate(TerminalView&, const std::optional<QString>&) override {}
    void send(TerminalView&, std::span<const uint8_t> data) override { sent.append(data.begin(), data.end()); }
    void scrolled(TerminalView&, double) override {}
    void rangeChanged(TerminalView&, int, int) override {}
};

struct FindFixture : ::testing::Test {
    Host host;
    TerminalView view{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};

    void SetUp() override
    {
        view.terminalDelegate = &host;
        view.show();
        view.activateWindow();
        view.resizeGrid(80, 24);
        setFindPasteboardString(QString());
        // 200 lines; "needle" on lines 10 and 150, "Needle" on 120, "needles" on 160.
        std::string text;
        for (int i = 0; i < 200; i++) {
            std::string line = "line " + std::to_string(i);
            if (i == 10 || i == 150) line += " needle here";
            if (i == 120) line += " Needle";
            if (i == 160) line += " needles";
            text += line + "\r\n";
        }
        view.feed(text);
    }

    Position selectionStart() { return view.selectionService().start; }
    QLineEdit* field() { return view.findBar()->searchField; }
};

TEST_F(FindFixture, TypingSelectsTheFirstMatchAndCentresIt)
{
    view.showFindBar(false);
    ASSERT_NE(view.findBar(), nullptr);
    EXPECT_TRUE(view.findBar()->isVisible());
    QTest::keyClicks(field(), "needle");
    ASSERT_TRUE(view.selectionActive());
    const int row = selectionStart().row;
    EXPECT_EQ(view.getSelection(), std::optional<std::string>("needle"));
    // The match was off screen: the view scrolled to it (as far up as it goes).
    const Buffer& buffer = view.getTerminal().buffer();
    EXPECT_EQ(buffer.yDisp(), std::max(row - 12, 0));
    EXPECT_EQ(findPasteboardString(), "needle");
    // A match further down is centred.
    while (selectionStart().row < 100) QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_EQ(buffer.yDisp(), selectionStart().row - 12);

    // Deleting the whole term clears the search and the selection.
    field()->clear();
    EXPECT_FALSE(view.selectionActive());
}

TEST_F(FindFixture, NextAndPreviousWrapAndOptionsChangeResults)
{
    view.showFindBar(false);
    QTest::keyClicks(field(), "needle");
    std::vector<int> rows{selectionStart().row};
    for (int i = 0; i < 4; i++) {
        QTest::keyClick(field(), Qt::Key_Return);
        rows.push_back(selectionStart().row);
    }
    // Case-insensitive by default: four lines match, then it wraps to the first again.
    EXPECT_EQ(std::set<int>(rows.begin(), rows.end()).size(), 4u);
    EXPECT_EQ(rows[4], rows[0]);
    QTest::keyClick(field(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(selectionStart().row, rows[3]);

    // Whole words only: "needles" and nothing else that merely contains the term.
    view.findBar()->wholeWordButton->setChecked(true);
    std::set<int> whole;
    for (int i = 0; i < 5; i++) {
        whole.insert(selectionStart().row);
        QTest::keyClick(field(), Qt::Key_Return);
    }
    EXPECT_EQ(whole.count(160), 0u);
    // Case-sensitive: "Needle" on its own.
    view.findBar()->wholeWordButton->setChecked(false);
    view.findBar()->caseSensitiveButton->setChecked(true);
    field()->setText("Needle");
    EXPECT_EQ(selectionStart().row, 120 + view.getTerminal().buffer().lines().count() - 201);

    // With an empty field an option change searches nothing.
    field()->clear();
    view.findBar()->regexButton->setChecked(true);
    EXPECT_FALSE(view.selectionActive());
}

TEST_F(FindFixture, EscapeClosesAndReturnsFocus)
{
    view.showFindBar(false);
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_FALSE(view.findBar()->isVisible());
    EXPECT_EQ(view.focusWidget(), &view);
}

TEST_F(FindFixture, CopyFollowsTheSelectionAndPasteBrackets)
{
    EXPECT_FALSE(view.validateUserInterfaceItem(TerminalView::MenuAction::copy));
    EXPECT_TRUE(view.validateUserInterfaceItem(TerminalView::MenuAction::paste));
    EXPECT_TRUE(view.validateUserInterfaceItem(TerminalView::MenuAction::selectAll));
    EXPECT_FALSE(view.validateUserInterfaceItem(TerminalView::MenuAction::findPanel, 7));

    ASSERT_TRUE(view.findNext("needle", {}, true));
    EXPECT_TRUE(view.validateUserInterfaceItem(TerminalView::MenuAction::copy));
    view.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "needle");

    QGuiApplication::clipboard()->clear();
    view.feed("\x1b[?2004h");
    view.paste();
    EXPECT_EQ(host.sent, "\x1b[200~\x1b[201~");
}

TEST_F(FindFixture, SummaryCountsMatchesAndPlacesTheLastOne)
{
    EXPECT_EQ(view.searchMatchSummary("needle", {}, 100).second, 4);
    ASSERT_TRUE(view.findNext("needle", {}, false));
    const auto [index, total] = view.searchMatchSummary("needle", {}, 100);
    EXPECT_EQ(total, 4);
    EXPECT_GE(index, 1);
    view.clearSearch();
    EXPECT_FALSE(view.selectionActive());
}

} // namespace
