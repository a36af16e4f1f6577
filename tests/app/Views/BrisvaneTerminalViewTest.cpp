#include "app/Views/BrisvaneTerminalView.hpp"

#include "app/Services/platform/LocalPathExistenceChecker.hpp"
#include "app/Services/tiles/DesktopServicesFileOpener.hpp"
#include "tests/app/Printers.hpp"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <string>

using namespace brisvane;

namespace {

const QDateTime kStart = QDateTime::fromMSecsSinceEpoch(1'796'917'700'000, Qt::UTC);

class RecordingOpener final : public FileOpening {
public:
    void open(const QUrl& url) const override { opened.append(url); }
    mutable QList<QUrl> opened;
};

// A wheel turn delivered the way Qt delivers it: to the widget under the pointer.
void turnWheel(QWidget* target, QPoint local)
{
    QWheelEvent event(local, target->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void catchUrl(const QUrl& url) { urls.append(url); }
};

} // namespace

TEST(BrisvaneTerminalView, OutputFollowsTheBottomUnlessTheUserReadsBack)
{
    BrisvaneTerminalView view(QRect(0, 0, 640, 400));
    view.show();
    QDateTime clock = kStart;
    view.now = [&] { return clock; };
    corvix::Terminal& terminal = view.getTerminal();
    const int rows = terminal.rows;
    const int threshold = std::max(3, int(std::lround(rows / 4.0)));
    auto feedLines = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\r\n";
        view.dataReceived(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    };
    auto bottom = [&] { return terminal.buffer().lines().count() - rows; };
    auto linesUp = [&] { return bottom() - terminal.getTopVisibleRow(); };

    feedLines(300);
    ASSERT_TRUE(view.canScroll());
    EXPECT_EQ(linesUp(), 0);

    struct Case {
        const char* name;
        int up;
        std::optional<double> wheelSecondsAgo;
        bool follows;
    };
    // No wheel time: none turned yet, or the last turn an hour ago.
    const Case cases[] = {
        {"within a quarter screen, no wheel turned", threshold, std::nullopt, true},
        {"two lines up, wheel turned 1 s ago", 2, 1.0, true},
        {"within a quarter screen, wheel turned 10 s ago", threshold, 10.0, false},
        {"within a quarter screen, wheel turned 31 s ago", threshold, 31.0, true},
        {"beyond a quarter screen", threshold + 1, std::nullopt, false},
        {"at the top", bottom(), std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock = clock.addSecs(3600);
        if (c.wheelSecondsAgo) {
            turnWheel(&view, view.rect().center());
            ASSERT_EQ(view.lastUserScrollDate(), clock);
            clock = clock.addMSecs(qint64(*c.wheelSecondsAgo * 1000));
        }
        view.scrollTo(bottom() - c.up, false);
        ASSERT_EQ(linesUp(), c.up);
        const int top = terminal.getTopVisibleRow();
        feedLines(1);
        if (c.follows) {
            EXPECT_EQ(linesUp(), 0);
        } else {
            EXPECT_EQ(terminal.getTopVisibleRow(), top);
        }
        view.scrollTo(bottom(), false);
    }
}

// The scroller is drawn in the terminal's colours, also after the program changes them: no light
// bar on a dark terminal.
TEST(BrisvaneTerminalView, ScrollerTakesTheTerminalsColours)
{
    BrisvaneTerminalView view(QRect(0, 0, 640, 400));
    view.show();
    std::string lines;
    for (int i = 0; i < 300; ++i) lines += "line\r\n";
    view.feed(lines);
    QScrollBar& scroller = *view.scrollBar();
    ASSERT_TRUE(scroller.isEnabled());

    // The track is the commonest colour of the bar; the handle the lightest.
    const auto colours = [&] {
        const QImage image = scroller.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QHash<QRgb, int> counts;
        QRgb lightest = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
                ++counts[pixel];
                if (qGray(pixel) > qGray(lightest)) lightest = pixel;
            }
        }
        QRgb commonest = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > counts.value(commonest)) commonest = it.key();
        }
        return std::pair(QColor(commonest), QColor(lightest));
    };
    const auto expectFollows = [&](QColor background, QColor foreground) {
        const auto [track, handle] = colours();
        EXPECT_EQ(track.name().toStdString(), background.name().toStdString());
        // The handle lies between background and foreground, nearer the background.
        const int between = qGray(background.rgb()) + (qGray(foreground.rgb()) - qGray(background.rgb())) * 4 / 10;
        EXPECT_NEAR(qGray(handle.rgb()), between, 3) << handle.name().toStdString();
    };
    SCOPED_TRACE(view.nativeBackgroundColor().name().toStdString());
    expectFollows(view.nativeBackgroundColor(), view.nativeForegroundColor());
    // OSC 11 and OSC 10: a dark blue background, a yellow foreground.
    view.feed("\x1b]11;rgb:10/20/40\x1b\\\x1b]10;rgb:ff/ff/00\x1b\\");
    ASSERT_EQ(view.nativeBackgroundColor().name(), "#102040");
    expectFollows(QColor(0x10, 0x20, 0x40), QColor(0xff, 0xff, 0x00));
}

TEST(BrisvaneTerminalView, StampsOnlyWheelTurnsOverItselfWhileShown)
{
    QWidget window;
    window.resize(600, 200);
    auto* left = new BrisvaneTerminalView(QRect(0, 0, 300, 200), &window);
    auto* right = new BrisvaneTerminalView(QRect(300, 0, 300, 200), &window);
    for (BrisvaneTerminalView* view : {left, right}) view->now = [] { return QDateTime::currentDateTimeUtc(); };
    QWidget otherWindow;
    otherWindow.resize(800, 600);
    EXPECT_FALSE(left->isScrollWheelMonitorInstalled());

    window.show();
    otherWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(left->isScrollWheelMonitorInstalled());

    // Over the right view: only it is stamped, also when the event goes to one of its children.
    turnWheel(right, right->rect().center());
    EXPECT_EQ(left->lastUserScrollDate(), std::nullopt);
    EXPECT_TRUE(right->lastUserScrollDate().has_value());
    // Over another window at the same screen position as the left view: not this view's window.
    const QPoint underLeft = otherWindow.mapFromGlobal(left->mapToGlobal(left->rect().center()));
    turnWheel(&otherWindow, underLeft);
    EXPECT_EQ(left->lastUserScrollDate(), std::nullopt);
    turnWheel(left->scrollBar(), left->scrollBar()->rect().center());
    EXPECT_TRUE(left->lastUserScrollDate().has_value());

    window.hide();
    EXPECT_FALSE(left->isScrollWheelMonitorInstalled());
    const auto stamped = right->lastUserScrollDate();
    right->now = [] { return kStart; };
    turnWheel(right, right->rect().center());
    EXPECT_EQ(right->lastUserScrollDate(), stamped);
}

TEST(BrisvaneTerminalView, OpensLinksByTheApplicationsRules)
{
    QTemporaryDir project;
    QTemporaryDir home;
    touch(project.path() + "/notes.md");
    touch(home.path() + "/h.txt");
    const auto opener = std::make_shared<RecordingOpener>();
    BrisvaneTerminalView view(QRect(0, 0, 640, 400));
    view.fileOpener = opener;
    view.homeDirectory = home.path();
    view.existenceChecker = std::make_shared<LocalPathExistenceChecker>();
    auto open = [&](const QString& link) {
        opener->opened.clear();
        view.requestOpenLink(view, link, {{"id", "1"}});
        return opener->opened;
    };

    // Without a running shell a relative link has no folder to start from.
    EXPECT_EQ(open("notes.md"), QList<QUrl>{});

    ASSERT_EQ(view.process().startProcess("/bin/sh", {}, std::vector<std::string>{"PATH=/usr/bin:/bin"}, std::nullopt,
                                          project.path().toStdString()),
              std::nullopt);
    EXPECT_EQ(open("notes.md"), QList<QUrl>{QUrl::fromLocalFile(project.path() + "/notes.md")});
    EXPECT_EQ(open("file:notes.md"), QList<QUrl>{QUrl::fromLocalFile(project.path() + "/notes.md")});
    EXPECT_EQ(open("~/h.txt"), QList<QUrl>{QUrl::fromLocalFile(home.path() + "/h.txt")});
    EXPECT_EQ(open("HTTPS://example.com/a"), QList<QUrl>{QUrl("https://example.com/a")});
    EXPECT_EQ(open("ftp://example.com/a"), QList<QUrl>{});
    EXPECT_EQ(open("missing.md"), QList<QUrl>{});

    // The shell moves on: relative links follow it.
    ASSERT_TRUE(QDir(project.path()).mkdir("sub"));
    touch(project.path() + "/sub/notes.md");
    view.send(std::string_view("cd sub\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return open("notes.md").value(0).path().endsWith("/sub/notes.md"); }, 10'000));

    view.process().terminate();
}

TEST(DesktopServicesFileOpener, HandsTheUrlToTheDesktop)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "catchUrl");
    DesktopServicesFileOpener().open(QUrl("https://example.com/x?y=1"));
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl("https://example.com/x?y=1")});
}

#include "BrisvaneTerminalViewTest.moc"
