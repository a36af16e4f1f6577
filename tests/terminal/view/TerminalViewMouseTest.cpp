#include "terminal/view/TerminalView.hpp"

#include "terminal/view/TerminalViewDelegate.hpp"
#include "tests/EventLoopMarker.hpp"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace corvix;

namespace {

struct OpenedLink {
    QString link;
    std::map<QString, QString> params;
    friend bool operator==(const OpenedLink&, const OpenedLink&) = default;
};

struct MouseHost final : TerminalViewDelegate {
    std::string sent;
    std::vector<OpenedLink> opened;

    void sizeChanged(TerminalView&, int, int) override {}
    void setTerminalTitle(TerminalView&, const QString&) override {}
    void hostCurrentDirectoryUpdate(TerminalView&, const std::optional<QString>&) override {}
    void send(TerminalView&, std::span<const uint8_t> data) override { sent.append(data.begin(), data.end()); }
    void scrolled(TerminalView&, double) override {}
    void rangeChanged(TerminalView&, int, int) override {}
    void requestOpenLink(TerminalView&, const QString& link, const std::map<QString, QString>& params) override
    {
        opened.push_back({link, params});
    }
};

std::string printable(const std::string& bytes)
{
    std::string out;
    for (char c : bytes) out += c == '\x1b' ? std::string("ESC") : std::string(1, c);
    return out;
}

// A shown view with a recording host.
struct MouseFixture : ::testing::Test {
    MouseHost host;
    TerminalView view{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 11)};

    void SetUp() override
    {
        view.terminalDelegate = &host;
        view.show();
        QApplication::processEvents();
    }

    // The centre of a screen cell (row 0 at the top); rows beyond the screen lie below it.
    QPoint cell(int col, int row) const
    {
        const QSizeF size = view.cellSize();
        return QPoint(int((col + 0.5) * size.width()), int((row + 0.5) * size.height()));
    }

    // Everything sent since the last call.
    std::string sent() { return printable(std::exchange(host.sent, {})); }
    std::string selected() { return view.getSelection().value_or(""); }
    int yDisp() { return view.getTerminal().buffer().yDisp(); }
    const QLabel* urlPreview() { return view.findChild<QLabel*>(QStringLiteral("urlPreview")); }

    void fillLines(int count)
    {
        std::string text;
        for (int i = 0; i < count; i++) text += "line " + std::to_string(i) + "\r\n";
        view.feed(text);
    }

    // A left-button event at the next timestamp, for click sequences QTest keeps apart.
    void mouse(QEvent::Type type, QPoint at)
    {
        QTest::lastMouseTimestamp += 20;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        event.setTimestamp(QTest::lastMouseTimestamp);
        QApplication::sendEvent(&view, &event);
    }

    void doubleClick(QPoint at, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseClick(&view, Qt::LeftButton, mods, at);
        QTest::mouseDClick(&view, Qt::LeftButton, mods, at);
        QTest::mouseRelease(&view, Qt::LeftButton, mods, at);
    }

    // Pointer motion with no button held.
    void hover(QPoint at, Qt::KeyboardModifiers mods = {})
    {
        QMouseEvent event(QEvent::MouseMove, at, view.mapToGlobal(at), Qt::NoButton, Qt::NoButton, mods);
        QApplication::sendEvent(&view, &event);
    }

    void wheel(QPoint at, QPoint angle, QPoint pixels = {}, Qt::KeyboardModifiers mods = {})
    {
        QWheelEvent event(at, view.mapToGlobal(at), pixels, angle, Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    }
};

// ---- Selection gestures ---------------------------------------------------------------------

TEST_F(MouseFixture, ClicksSelectWordsExpressionsAndRowsAndShiftExtends)
{
    view.feed("hello world (a b) end");

    doubleClick(cell(7, 0));
    EXPECT_EQ(selected(), "world");
    doubleClick(cell(12, 0));
    EXPECT_EQ(selected(), "(a b)");

    QTest::mouseClick(&view, Qt::LeftButton, {}, cell(3, 0));
    EXPECT_FALSE(view.selectionActive());

    // A fast triple click, as Qt delivers it: the third press is a plain press.
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease, QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        mouse(type, cell(2, 0));
    EXPECT_EQ(selected(), "hello world (a b) end");

    doubleClick(cell(1, 0));
    EXPECT_EQ(selected(), "hello");
    QTest::mouseClick(&view, Qt::LeftButton, Qt::ShiftModifier, cell(19, 0));
    EXPECT_EQ(selected(), "hello world (a b) end");
}

TEST_F(MouseFixture, DragPastAnEdgeAutoScrollsFasterFurtherOut)
{
    fillLines(200);
    view.scrollTo(100, true);
    QTest::mousePress(&view, Qt::LeftButton, {}, cell(2, 5));
    QTest::mouseMove(&view, cell(4, 6));
    ASSERT_TRUE(view.selectionActive());

    // Screen rows of the pointer and rows per tick: the top row and above scroll up, the rows
    // below the screen scroll down.
    const int rows = view.getTerminal().rows;
    ASSERT_GT(rows, 20);
    const std::vector<std::pair<int, int>> cases = {
        {rows + 1, 1}, {rows + 5, 3}, {rows + 9, 10}, {rows + 10, rows}, {-3, -3}, {0, -1},
    };
    for (const auto& [row, rowsPerTick] : cases) {
        SCOPED_TRACE(row);
        const int before = yDisp();
        QTest::mouseMove(&view, cell(4, row));
        ASSERT_TRUE(QTest::qWaitFor([&] { return yDisp() != before; }, 1000));
        EXPECT_EQ(yDisp() - before, rowsPerTick);
        // The selection follows the text that scrolled under the pointer.
        EXPECT_EQ(view.selectionService().end.row, view.calculateMouseHit(cell(4, row)).grid.row);
    }

    // Back inside, the scrolling stops.
    QTest::mouseMove(&view, cell(4, 10));
    const int settled = yDisp();
    // Past two ticks of the auto-scroll timer (50 ms): a tick still running has come by then.
    ASSERT_TRUE(waitForEventsDueWithin(120));
    EXPECT_EQ(yDisp(), settled);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, cell(4, 10));
    EXPECT_EQ(view.selectionService().end, (Position{4, settled + 10}));
}

// ---- Mouse reports --------------------------------------------------------------------------

TEST_F(MouseFixture, ReportsFollowTheModeTheProgramAskedFor)
{
    struct Case {
        const char* name;
        const char* modes;
        std::function<void(MouseFixture&)> gesture;
        std::string expected;
    };
    auto click = [](Qt::KeyboardModifiers mods) {
        return [mods](MouseFixture& f) { QTest::mouseClick(&f.view, Qt::LeftButton, mods, f.cell(4, 2)); };
    };
    auto drag = [](MouseFixture& f) {
        QTest::mousePress(&f.view, Qt::LeftButton, {}, f.cell(4, 2));
        QTest::mouseMove(&f.view, f.cell(6, 3));
        QTest::mouseRelease(&f.view, Qt::LeftButton, {}, f.cell(6, 3));
    };
    const std::vector<Case> cases = {
        {"SGR click", "\x1b[?1000h\x1b[?1006h", click({}), "ESC[<0;5;3MESC[<0;5;3m"},
        {"SGR click with Ctrl and Alt", "\x1b[?1000h\x1b[?1006h", click(Qt::ControlModifier | Qt::AltModifier),
         "ESC[<24;5;3MESC[<24;5;3m"},
        {"press-release mode ignores the drag", "\x1b[?1000h\x1b[?1006h", drag, "ESC[<0;5;3MESC[<0;7;4m"},
        {"button-event mode reports the drag", "\x1b[?1002h\x1b[?1006h", drag, "ESC[<0;5;3MESC[<32;7;4MESC[<0;7;4m"},
        {"X10 reports the press only, bare", "\x1b[?1006l\x1b[?9h", click(Qt::ControlModifier), "ESC[M %#"},
        {"Shift selects instead", "\x1b[?1000h\x1b[?1006h", click(Qt::ShiftModifier), ""},
        {"unless the program captured Shift", "\x1b[?1000h\x1b[?1006h\x1b[>1s", click(Qt::ShiftModifier),
         "ESC[<4;5;3MESC[<4;5;3m"},
        {"any-event mode reports motion", "\x1b[?1003h\x1b[?1006h", [](MouseFixture& f) { f.hover(f.cell(4, 2)); },
         "ESC[<35;5;3M"},
        {"reports off", "\x1b[?1000h\x1b[?1006h",
         [](MouseFixture& f) {
             f.view.allowMouseReporting = false;
             QTest::mouseClick(&f.view, Qt::LeftButton, {}, f.cell(4, 2));
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view.feed("\x1b" "c"); // full reset: mouse off
        view.feed(c.modes);
        view.allowMouseReporting = true;
        sent();
        c.gesture(*this);
        EXPECT_EQ(sent(), c.expected);
    }
}

TEST_F(MouseFixture, MotionIsTrackedOnlyWhileSomethingWantsIt)
{
    EXPECT_FALSE(view.hasMouseTracking());
    view.feed("\x1b[?1003h");
    EXPECT_TRUE(view.hasMouseTracking());
    view.feed("\x1b[?1003l");
    EXPECT_FALSE(view.hasMouseTracking());

    view.setLinkHighlightMode(LinkHighlightMode::hover);
    EXPECT_TRUE(view.hasMouseTracking());
    view.setLinkHighlightMode(LinkHighlightMode::always);
    EXPECT_FALSE(view.hasMouseTracking());

    QTest::keyPress(&view, Qt::Key_Control);
    EXPECT_TRUE(view.hasMouseTracking());
    QTest::keyRelease(&view, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_FALSE(view.hasMouseTracking());
}

// ---- Wheel ------------------------------------------------------------------------------------

TEST_F(MouseFixture, WheelScrollsSendsArrowsOrReports)
{
    struct Case {
        const char* name;
        const char* modes;
        int angle;
        Qt::KeyboardModifiers mods;
        std::string expected;
        int scrolled;
    };
    const std::string up3 = "ESC[AESC[AESC[A";
    const std::vector<Case> cases = {
        {"a step scrolls the platform's three lines", "", 120, {}, "", -3},
        {"and down again", "", -120, {}, "", 3},
        {"the alternate screen gets arrows", "\x1b[?1049h", 120, {}, up3, 0},
        {"in application-cursor form", "\x1b[?1049h\x1b[?1h", -120, {}, "ESCOBESCOBESCOB", 0},
        {"a step below a line still moves one", "\x1b[?1049h", 10, {}, "ESC[A", 0},
        {"reports win over arrows", "\x1b[?1049h\x1b[?1000h\x1b[?1006h", 120, {},
         "ESC[<64;5;3MESC[<64;5;3MESC[<64;5;3M", 0},
        {"with modifiers", "\x1b[?1000h\x1b[?1006h", -120, Qt::ControlModifier | Qt::AltModifier,
         "ESC[<89;5;3MESC[<89;5;3MESC[<89;5;3M", 0},
        {"X10 reports bare buttons", "\x1b[?1006l\x1b[?9h", 120, Qt::ControlModifier, "ESC[M`%#ESC[M`%#ESC[M`%#", 0},
        {"Shift scrolls the view under reporting", "\x1b[?1000h", 120, Qt::ShiftModifier, "", -3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view.feed("\x1b" "c");
        fillLines(100);
        view.scrollTo(50, true);
        view.feed(c.modes);
        sent();
        const int before = yDisp();
        wheel(cell(4, 2), QPoint(0, c.angle), {}, c.mods);
        EXPECT_EQ(sent(), c.expected);
        EXPECT_EQ(yDisp() - before, c.scrolled);
    }
}

TEST_F(MouseFixture, TouchpadPixelsAddUpToLinesAndSensitivityHasAFloor)
{
    fillLines(100);
    view.scrollTo(50, true);
    const int h = int(view.cellSize().height());
    wheel(cell(4, 2), {}, QPoint(0, h + h / 2));
    EXPECT_EQ(yDisp(), 49);
    wheel(cell(4, 2), {}, QPoint(0, h - h / 2));
    EXPECT_EQ(yDisp(), 48);

    view.setScrollSensitivity(0);
    EXPECT_EQ(view.scrollSensitivity(), 0.05);
    wheel(cell(4, 2), QPoint(0, -120));
    EXPECT_EQ(yDisp(), 49);
}

// ---- Hover links ------------------------------------------------------------------------------

struct HoverFixture : MouseFixture {
    // An OSC 8 link on columns 0..9 and a detected URL from column 15 on.
    const std::string detected = "https://detected.example/x";
    const std::vector<LinkMatch::RowRange> explicitRange{{0, {0, 10}}};
    const std::vector<LinkMatch::RowRange> detectedRange{{0, {15, 15 + int(detected.size())}}};

    void SetUp() override
    {
        MouseFixture::SetUp();
        view.feed("\x1b]8;id=7:k=v;https://example.com/a\x1b\\click here\x1b]8;;\x1b\\ see " + detected + "\r\n");
    }

    void pressCtrlOver(QPoint at)
    {
        QCursor::setPos(view.mapToGlobal(at));
        QTest::keyPress(&view, Qt::Key_Control);
    }
};

TEST_F(HoverFixture, CtrlOverALinkHighlightsItAndPreviewsAnExplicitOnesUrl)
{
    pressCtrlOver(cell(3, 0));
    EXPECT_EQ(view.linkHighlightRange, explicitRange);
    ASSERT_NE(urlPreview(), nullptr);
    EXPECT_EQ(urlPreview()->text(), QStringLiteral("https://example.com/a"));

    hover(cell(20, 0), Qt::ControlModifier);
    EXPECT_EQ(view.linkHighlightRange, detectedRange);

    QTest::keyRelease(&view, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_FALSE(view.linkHighlightRange);
    EXPECT_EQ(urlPreview(), nullptr);

    // A detected URL has no payload to preview.
    pressCtrlOver(cell(20, 0));
    EXPECT_EQ(view.linkHighlightRange, detectedRange);
    EXPECT_EQ(urlPreview(), nullptr);

    // Leaving the view ends the Ctrl hover.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view, &leave);
    EXPECT_FALSE(view.linkHighlightRange);
    EXPECT_FALSE(view.commandActive);
}

TEST_F(HoverFixture, WithoutCtrlNothingHighlightsUnlessTheModeIsPlainHover)
{
    hover(cell(3, 0));
    EXPECT_FALSE(view.linkHighlightRange);
    QTest::mouseClick(&view, Qt::LeftButton, {}, cell(3, 0));
    EXPECT_TRUE(host.opened.empty());

    view.setLinkHighlightMode(LinkHighlightMode::hover);
    hover(cell(20, 0));
    EXPECT_EQ(view.linkHighlightRange, detectedRange);
    hover(cell(12, 0));
    EXPECT_FALSE(view.linkHighlightRange);
    QTest::mouseClick(&view, Qt::LeftButton, {}, cell(20, 0));
    EXPECT_EQ(host.opened, (std::vector<OpenedLink>{{QString::fromStdString(detected), {}}}));
}

TEST_F(HoverFixture, CtrlClickOpensTheLinkWithItsParameters)
{
    QTest::mouseClick(&view, Qt::LeftButton, Qt::ControlModifier, cell(3, 0));
    QTest::mouseClick(&view, Qt::LeftButton, Qt::ControlModifier, cell(20, 0));
    QTest::mouseClick(&view, Qt::LeftButton, Qt::ControlModifier, cell(12, 0));
    const std::vector<OpenedLink> expected = {
        {QStringLiteral("https://example.com/a"),
         {{QStringLiteral("id"), QStringLiteral("7")}, {QStringLiteral("k"), QStringLiteral("v")}}},
        {QString::fromStdString(detected), {}},
    };
    EXPECT_EQ(host.opened, expected);
}

} // namespace
