#include "app/Views/FilePathClickOverlayView.hpp"

#include "app/Services/platform/LocalPathExistenceChecker.hpp"
#include "app/Views/BrisvaneTerminalView.hpp"
#include "app/Views/TerminalHostView.hpp"
#include "tests/app/TerminalTilePrinters.hpp"
#include "tests/app/Views/TileTestSupport.hpp"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace brisvane;
using namespace brisvane::testing_support;
using Highlight = FilePathClickOverlayView::Highlight;

namespace {

constexpr int kPatienceMs = 10'000;

// Counts the presses and releases that reach a widget.
class PressCounter final : public QObject {
public:
    int presses = 0;
    int releases = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress) ++presses;
        if (event->type() == QEvent::MouseButtonRelease) ++releases;
        return false;
    }
};

// A terminal view hosted as in a tile, in a window of its own, with the folders, the opener and
// the keyboard injected. No shell runs: the screen is fed directly.
class FilePathClickOverlayViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fixture.isValid() && home.isValid() && cwd.isValid());
        QFile file(fixture.filePath("a.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();

        window.resize(820, 440);
        host = new TerminalHostView(terminalView.get(), &window);
        host->setGeometry(0, 0, 820, 440);
        host->setCwdProvider([this] { return std::optional<QString>(cwd.path()); });
        overlay().homeDirectory = home.path();
        overlay().existenceChecker = std::make_shared<LocalPathExistenceChecker>();
        overlay().fileOpener = pathOpener;
        overlay().queryKeyboardModifiers = [this] { return keyboard; };
        terminalView->homeDirectory = QDir::homePath();
        terminalView->existenceChecker = std::make_shared<LocalPathExistenceChecker>();
        terminalView->fileOpener = linkOpener;
        terminalView->now = [] { return QDateTime::currentDateTimeUtc(); };
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        terminalView->installEventFilter(&terminalPresses);
    }

    FilePathClickOverlayView& overlay() { return *host->overlay(); }

    // The centre of a cell, in the window's coordinates.
    QPoint cellCenter(int row, int column)
    {
        const QPointF inOverlay((column + 0.5) * overlay().cellWidth, (row + 0.5) * overlay().cellHeight);
        return overlay().mapTo(&window, inOverlay.toPoint());
    }
    // A click delivered as the window system would: to whatever widget is under the pointer.
    void click(QPoint inWindow, Qt::KeyboardModifiers modifiers)
    {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, modifiers, inWindow);
    }

    QTemporaryDir fixture;
    QTemporaryDir home;
    QTemporaryDir cwd;
    Qt::KeyboardModifiers keyboard = Qt::NoModifier;
    std::shared_ptr<RecordingOpener> pathOpener = std::make_shared<RecordingOpener>();
    std::shared_ptr<RecordingOpener> linkOpener = std::make_shared<RecordingOpener>();
    PressCounter terminalPresses;
    // Destroyed after the window, which hands it back through the host.
    std::unique_ptr<BrisvaneTerminalView> terminalView = std::make_unique<BrisvaneTerminalView>(QRect(0, 0, 640, 400));
    QWidget window;
    TerminalHostView* host = nullptr;
};

} // namespace

TEST_F(FilePathClickOverlayViewTest, CtrlHighlightsExistingPathsAndCtrlClickOpensThem)
{
    const QString path = fixture.filePath("a.txt");
    terminalView->feed(("see " + path + " and b.md").toStdString());

    EXPECT_TRUE(overlay().allHighlights().isEmpty());
    overlay().setCommandDown(true);
    // Only the file that exists; b.md is not in the shell's folder, the Desktop or Downloads.
    const Highlight expected{0, 4, 4 + int(path.size())};
    EXPECT_EQ(overlay().allHighlights(), QList<Highlight>({expected}));
    EXPECT_TRUE(overlay().isHighlightTimerActive());

    // Hovering over it stresses it; moving off drops the stress.
    QTest::mouseMove(window.windowHandle(), cellCenter(0, 6));
    EXPECT_EQ(overlay().hoverHighlight(), expected);
    QTest::mouseMove(window.windowHandle(), cellCenter(0, 1));
    EXPECT_EQ(overlay().hoverHighlight(), std::nullopt);

    click(cellCenter(0, 6), Qt::ControlModifier);
    EXPECT_EQ(pathOpener->opened, QList<QUrl>({QUrl::fromLocalFile(path)}));
    EXPECT_EQ(terminalPresses.presses, 0) << "an opened path is not also a click in the terminal";

    // Ctrl-click on a name that does not exist reaches the terminal as a click.
    click(cellCenter(0, 4 + int(path.size()) + 6), Qt::ControlModifier);
    EXPECT_EQ(pathOpener->opened.size(), 1);
    EXPECT_EQ(terminalPresses.presses, 1);
    EXPECT_EQ(terminalPresses.releases, 1);

    overlay().setCommandDown(false);
    EXPECT_TRUE(overlay().allHighlights().isEmpty());
    EXPECT_EQ(overlay().hoverHighlight(), std::nullopt);
    EXPECT_FALSE(overlay().isHighlightTimerActive());
}

TEST_F(FilePathClickOverlayViewTest, CtrlClickOnALinkStillOpensTheLink)
{
    terminalView->feed("\x1b]8;;https://example.com/docs\x1b\\docs here\x1b]8;;\x1b\\");
    overlay().setCommandDown(true);
    ASSERT_TRUE(overlay().allHighlights().isEmpty());

    click(cellCenter(0, 1), Qt::ControlModifier);
    EXPECT_TRUE(pathOpener->opened.isEmpty());
    EXPECT_EQ(linkOpener->opened, QList<QUrl>({QUrl("https://example.com/docs")}));
}

TEST_F(FilePathClickOverlayViewTest, WithoutCtrlEveryClickGoesToTheTerminal)
{
    const QString path = fixture.filePath("a.txt");
    terminalView->feed(path.toStdString());
    ASSERT_TRUE(overlay().testAttribute(Qt::WA_TransparentForMouseEvents));

    click(cellCenter(0, 2), Qt::NoModifier);
    EXPECT_EQ(terminalPresses.presses, 1);
    EXPECT_TRUE(pathOpener->opened.isEmpty());
    EXPECT_TRUE(overlay().allHighlights().isEmpty());
}

TEST_F(FilePathClickOverlayViewTest, FollowsTheCtrlKeyAndResyncsWhenTheKeyboardIsAskedAgain)
{
    const QString path = fixture.filePath("a.txt");
    terminalView->feed(path.toStdString());

    QTest::keyPress(&window, Qt::Key_Control);
    EXPECT_TRUE(overlay().isCommandDown());
    EXPECT_FALSE(overlay().testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(overlay().allHighlights().size(), 1);
    QTest::keyRelease(&window, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_FALSE(overlay().isCommandDown());
    EXPECT_TRUE(overlay().allHighlights().isEmpty());

    // A release that happened elsewhere is noticed when the window is activated again.
    overlay().setCommandDown(true);
    keyboard = Qt::NoModifier;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    EXPECT_FALSE(overlay().isCommandDown());
    EXPECT_FALSE(overlay().isHighlightTimerActive());

    // Hidden, the overlay stops watching the keyboard and rescanning; shown again with Ctrl
    // still held, it starts both again.
    overlay().setCommandDown(true);
    window.hide();
    EXPECT_FALSE(overlay().isFlagsChangedMonitorInstalled());
    EXPECT_FALSE(overlay().isHighlightTimerActive());
    keyboard = Qt::ControlModifier;
    window.show();
    EXPECT_TRUE(overlay().isFlagsChangedMonitorInstalled());
    EXPECT_TRUE(overlay().isCommandDown());
    EXPECT_TRUE(overlay().isHighlightTimerActive());
}

TEST_F(FilePathClickOverlayViewTest, NewOutputAndAFolderChangeAreRescannedWhileCtrlIsHeld)
{
    QFile relative(cwd.filePath("notes.md"));
    ASSERT_TRUE(relative.open(QIODevice::WriteOnly));
    relative.close();
    terminalView->feed("notes.md");
    overlay().setCommandDown(true);
    EXPECT_EQ(overlay().allHighlights(), QList<Highlight>({{0, 0, 8}}));

    // The timer picks up new output.
    terminalView->feed("\r\nx " + fixture.filePath("a.txt").toStdString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay().allHighlights().size() == 2; }, kPatienceMs));

    // In another folder the relative name means nothing.
    QTemporaryDir elsewhere;
    host->setCwdProvider([&] { return std::optional<QString>(elsewhere.path()); });
    EXPECT_EQ(overlay().allHighlights().size(), 1);
    EXPECT_EQ(overlay().allHighlights()[0].row, 1);
}

TEST_F(FilePathClickOverlayViewTest, APointMapsToACellOnlyWithAPositiveCellSize)
{
    FilePathClickOverlayView bare;
    bare.cellWidth = 8;
    bare.cellHeight = 16;
    EXPECT_EQ(bare.cellPosition(QPointF(17, 33)), std::make_optional(std::pair{2, 2}));
    EXPECT_EQ(bare.cellPosition(QPointF(-9, 3)), std::nullopt);
    bare.cellWidth = 0;
    EXPECT_EQ(bare.cellPosition(QPointF(17, 33)), std::nullopt);
}

// Ctrl up, the overlay draws nothing and waits beneath the opaque terminal view, so that a blink
// of the caret repaints the caret alone; Ctrl down, it is above the view again, to draw and
// to take the clicks.
TEST_F(FilePathClickOverlayViewTest, LiesBeneathTheTerminalViewWhileCtrlIsUp)
{
    const auto overlayIsAbove = [&] {
        const QObjectList& stack = overlay().parentWidget()->children();
        return stack.indexOf(&overlay()) > stack.indexOf(terminalView.get());
    };
    ASSERT_EQ(overlay().parentWidget(), terminalView->parentWidget());
    EXPECT_FALSE(overlayIsAbove());
    overlay().setCommandDown(true);
    EXPECT_TRUE(overlayIsAbove());
    overlay().setCommandDown(false);
    EXPECT_FALSE(overlayIsAbove());
}
