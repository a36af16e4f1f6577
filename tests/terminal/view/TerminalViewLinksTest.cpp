#include "terminal/view/TerminalView.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;

namespace {

using Params = std::map<QString, QString>;

TEST(TerminalViewLinks, PayloadsSplitIntoParametersAndUri)
{
    struct Case {
        const char* payload;
        std::optional<TerminalView::LinkTarget> expected;
    };
    const std::vector<Case> cases = {
        {"id=1:k=v;https://a.example/b",
         TerminalView::LinkTarget{"https://a.example/b", Params{{"id", "1"}, {"k", "v"}}}},
        {";https://a.example", TerminalView::LinkTarget{"https://a.example", {}}},
        // Whatever follows a further ";" is not part of the URI.
        {"k=v;https://a.example/x;y=z", TerminalView::LinkTarget{"https://a.example/x", Params{{"k", "v"}}}},
        // Two "=", none, or nothing before the "=" make no parameter; empty items are skipped.
        {"a=b=c:bare:=v:::k=v;u", TerminalView::LinkTarget{"u", Params{{"k", "v"}}}},
        {"k=1:k=2;u", TerminalView::LinkTarget{"u", Params{{"k", "2"}}}},
        {"https://no.separator", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        EXPECT_EQ(TerminalView::urlAndParamsFrom(QString::fromUtf8(c.payload)), c.expected);
    }
}

struct LinksFixture : ::testing::Test {
    TerminalView view{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};

    void SetUp() override
    {
        view.resizeGrid(80, 24);
        // An OSC 8 link over a wide character and "ok" (columns 0..3), then a detected URL.
        view.feed("\x1b]8;id=1;https://osc.example/\x1b\\\xe7\x95\x8cok\x1b]8;;\x1b\\ https://plain.example/\r\n");
    }

    LinkMatch match(Position at)
    {
        Terminal& t = view.getTerminal();
        if (auto m = t.explicitLinkMatch(at, t.buffer())) return *m;
        return *t.implicitLinkMatch(at, t.buffer());
    }
};

TEST_F(LinksFixture, TheRightHalfOfAWideCharacterCarriesItsLink)
{
    EXPECT_EQ(view.payloadString({0, 0}), QStringLiteral("id=1;https://osc.example/"));
    EXPECT_EQ(view.payloadString({1, 0}), QStringLiteral("id=1;https://osc.example/"));
    EXPECT_EQ(view.payloadString({4, 0}), std::nullopt);
}

TEST_F(LinksFixture, AClickOpensOnlyWhatTheHighlightModeAccepts)
{
    const Position osc{2, 0};
    const Position plain{10, 0};
    enum class Highlight { none, same, other };
    struct Case {
        LinkHighlightMode mode;
        Position at;
        Highlight highlight;
        bool command;
        std::optional<QString> expected;
    };
    const QString oscUrl = QStringLiteral("https://osc.example/");
    const QString plainUrl = QStringLiteral("https://plain.example/");
    using M = LinkHighlightMode;
    const std::vector<Case> cases = {
        {M::hover, osc, Highlight::same, false, oscUrl},
        {M::hover, plain, Highlight::same, false, plainUrl},
        {M::hover, osc, Highlight::none, false, std::nullopt},
        {M::hover, osc, Highlight::other, false, std::nullopt},
        {M::hoverWithModifier, osc, Highlight::same, false, std::nullopt},
        {M::hoverWithModifier, osc, Highlight::same, true, oscUrl},
        {M::hoverWithModifier, plain, Highlight::same, true, plainUrl},
        {M::always, osc, Highlight::none, false, oscUrl},
        // Text that only looks like a URL is no link here, highlighted or not.
        {M::always, plain, Highlight::same, true, std::nullopt},
        {M::alwaysWithModifier, osc, Highlight::none, false, std::nullopt},
        {M::alwaysWithModifier, osc, Highlight::none, true, oscUrl},
    };
    for (size_t i = 0; i < cases.size(); i++) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        view.setLinkHighlightMode(c.mode);
        if (c.highlight == Highlight::same) view.linkHighlightRange = match(c.at).rowRanges;
        if (c.highlight == Highlight::other) view.linkHighlightRange = match(c.at == osc ? plain : osc).rowRanges;
        const auto link = view.linkForClick(c.at, c.command);
        EXPECT_EQ(link ? std::optional(link->link) : std::nullopt, c.expected);
    }
}

} // namespace
