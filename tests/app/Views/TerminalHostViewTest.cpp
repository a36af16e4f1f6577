#include "app/Views/TerminalHostView.hpp"

#include "app/ViewModels/TerminalProcessController.hpp"
#include "app/Views/BrisvaneTerminalView.hpp"
#include "app/Views/FilePathClickOverlayView.hpp"
#include "app/Views/TerminalFileDropContainerView.hpp"
#include "app/Views/TerminalTileView.hpp"
#include "tests/app/TerminalTilePrinters.hpp"
#include "tests/app/Views/TileTestSupport.hpp"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace brisvane;
using namespace brisvane::testing_support;

namespace {

constexpr int kPatienceMs = 10'000;

QString touch(const QDir& folder, const QString& name)
{
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    return file.fileName();
}

// A tile whose controller runs /bin/sh, for drops that the shell must read back.
class TerminalTileDropTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        tile.id = controller.tileId();
        tile.lifecycle = TerminalTileLifecycle::shellOnly();
        const QMap<QString, QString> environment{
            {"PATH", "/usr/bin:/bin"}, {"HOME", folder.path()}, {"PS1", "$ "}, {"ENV", ""}};
        ASSERT_TRUE(controller.start("/bin/sh", environment, folder.path()).ok());
        view = std::make_unique<TerminalTileView>(tile, &controller);
        view->resize(820, 480);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        type("echo re\"a\"dy\n");
        ASSERT_TRUE(waitForScreen("ready")) << screenText(controller.session().terminal());
    }
    void TearDown() override
    {
        view.reset();
        if (controller.session().process().running()) controller.terminateShell();
    }

    bool waitForScreen(const std::string& needle)
    {
        return QTest::qWaitFor(
            [&] { return screenText(controller.session().terminal()).find(needle) != std::string::npos; }, kPatienceMs);
    }
    void type(std::string_view text) { controller.session().send(text); }
    TerminalFileDropContainerView& container() { return *view->hostView()->container(); }

    QTemporaryDir folder;
    TerminalProcessController controller{QUuid::createUuid(), folder.path()};
    TerminalTile tile;
    std::unique_ptr<TerminalTileView> view;
};

} // namespace

TEST_F(TerminalTileDropTest, DroppedFilesReachTheShellAsExactlyTheirNames)
{
    const QString quoted = touch(QDir(folder.path()), "it's here.txt");
    const QString spaced = touch(QDir(folder.path()), "two  spaces $HOME.md");

    type("set -- ");
    const DropOutcome outcome = deliverDrop(container(), *std::unique_ptr<QMimeData>(fileMimeData({quoted, spaced})));
    EXPECT_TRUE(outcome.enterAccepted);
    EXPECT_TRUE(outcome.targetingWhileOver);
    EXPECT_TRUE(outcome.dropAccepted);
    EXPECT_FALSE(container().isDropTargeting());
    type("; echo \"count=$#\"; printf '<%s>\\n' \"$@\"\n");

    ASSERT_TRUE(waitForScreen("count=2")) << screenText(controller.session().terminal());
    EXPECT_TRUE(waitForScreen("<" + quoted.toStdString() + ">")) << screenText(controller.session().terminal());
    EXPECT_TRUE(waitForScreen("<" + spaced.toStdString() + ">")) << screenText(controller.session().terminal());
}

TEST_F(TerminalTileDropTest, ADropIsAPasteWhenTheProgramAskedForBracketedPaste)
{
    const QString file = touch(QDir(folder.path()), "plain.txt");
    // cat -v shows the markers that the shell would otherwise swallow.
    type("printf '\\033[?2004h'; cat -v\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.session().terminal().bracketedPasteMode; },
                                kPatienceMs));
    deliverDrop(container(), *std::unique_ptr<QMimeData>(fileMimeData({file})));
    type("\n");
    EXPECT_TRUE(waitForScreen("^[[200~'" + file.toStdString() + "'^[[201~")) << screenText(controller.session().terminal());
    type("\x04");
}

TEST_F(TerminalTileDropTest, NamesWithControlCharactersAndClosedTilesTypeNothing)
{
    const QString good = touch(QDir(folder.path()), "good.txt");
    type("echo start-");
    for (const char* name : {"evil\x03.txt", "evil\x15.txt", "evil\x1b[201~.txt", "evil\n.txt", "evil\r.txt"}) {
        SCOPED_TRACE(QByteArray(name).toPercentEncoding().toStdString());
        const QString bad = touch(QDir(folder.path()), QString::fromUtf8(name));
        const DropOutcome outcome = deliverDrop(container(), *std::unique_ptr<QMimeData>(fileMimeData({good, bad})));
        EXPECT_FALSE(outcome.dropAccepted);
    }

    TerminalTile closed = tile;
    closed.lifecycle = TerminalTileLifecycle::closed();
    view->setTile(closed);
    const DropOutcome outcome = deliverDrop(container(), *std::unique_ptr<QMimeData>(fileMimeData({good})));
    EXPECT_FALSE(outcome.enterAccepted);
    EXPECT_FALSE(outcome.targetingWhileOver);
    EXPECT_FALSE(outcome.dropAccepted);

    // Nothing above was typed: the line ends right after what the test typed itself.
    type("end\n");
    ASSERT_TRUE(waitForScreen("start-end")) << screenText(controller.session().terminal());
}

TEST(TerminalFileDropContainerView, OnlyLocalFilesAreTakenAndTheHighlightFollowsTheDrag)
{
    TerminalFileDropContainerView container;
    container.resize(200, 100);
    QStringList received;
    QObject::connect(&container, &TerminalFileDropContainerView::textDropped,
                     [&](const QString& text) { received.append(text); });

    QMimeData web;
    web.setUrls({QUrl("https://example.com/a.txt")});
    QMimeData text;
    text.setText("/tmp/a.txt");
    for (const QMimeData* data : {&web, &text}) {
        const DropOutcome outcome = deliverDrop(container, *data);
        EXPECT_FALSE(outcome.enterAccepted);
        EXPECT_FALSE(outcome.targetingWhileOver);
        EXPECT_FALSE(outcome.dropAccepted);
    }
    EXPECT_TRUE(received.isEmpty());

    // Web links among files are left out; the files keep their order.
    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile("/tmp/b c"), QUrl("https://example.com"), QUrl::fromLocalFile("/tmp/a")});
    EXPECT_TRUE(deliverDrop(container, mixed).dropAccepted);
    EXPECT_EQ(received, QStringList({"'/tmp/b c' '/tmp/a'"}));

    // Entering and leaving without a drop leaves the highlight off.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mixed, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&container, &enter);
    EXPECT_TRUE(container.isDropTargeting());
    QDragLeaveEvent leave;
    QApplication::sendEvent(&container, &leave);
    EXPECT_FALSE(container.isDropTargeting());
}

TEST(TerminalHostView, ANewHostTakesOverTheSameTerminalWhoseShellKeepsRunning)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    TerminalProcessController controller(QUuid::createUuid(), folder.path());
    ASSERT_TRUE(controller.start("/bin/sh", {{"PATH", "/usr/bin:/bin"}, {"PS1", "$ "}}, folder.path()).ok());
    const std::optional<int32_t> shell = controller.runningShellPid();
    ASSERT_TRUE(shell.has_value());

    QWidget window;
    window.resize(700, 500);
    // After the window: it goes first, out of whichever host holds it.
    auto terminalWidget = std::make_unique<BrisvaneTerminalView>(controller.sharedSession(), QRect(0, 0, 640, 400));
    BrisvaneTerminalView& terminal = *terminalWidget;
    auto* focusHolder = new QWidget(&window);
    focusHolder->setFocusPolicy(Qt::StrongFocus);
    auto first = std::make_unique<TerminalHostView>(&terminal, &window);
    first->setGeometry(0, 0, 600, 400);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    focusHolder->setFocus();
    ASSERT_TRUE(focusHolder->hasFocus());
    EXPECT_EQ(terminal.parentWidget(), static_cast<QWidget*>(first->container()));
    EXPECT_EQ(terminal.geometry(), QRect(10, 10, 580, 380));
    EXPECT_EQ(first->overlay()->geometry(), terminal.geometry());
    EXPECT_EQ(first->overlay()->cellWidth, terminal.cellSize().width());

    // Too small for the insets: the terminal keeps its frame while the container follows.
    first->setGeometry(0, 0, 15, 400);
    EXPECT_EQ(first->container()->size(), QSize(15, 400));
    EXPECT_EQ(terminal.geometry(), QRect(10, 10, 580, 380));
    first->setGeometry(0, 0, 600, 400);

    terminal.send(std::string_view("echo be'f'ore\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return screenText(terminal).find("before") != std::string::npos; }, kPatienceMs));

    // The page rebuilds the tile: the new host is made before the old one goes.
    auto second = std::make_unique<TerminalHostView>(&terminal, &window);
    second->setGeometry(0, 0, 640, 420);
    second->show();
    first.reset();
    EXPECT_EQ(terminal.parentWidget(), static_cast<QWidget*>(second->container()));
    EXPECT_EQ(terminal.geometry(), QRect(10, 10, 620, 400));
    EXPECT_EQ(controller.runningShellPid(), shell);
    EXPECT_EQ(QApplication::focusWidget(), focusHolder) << "hosting never takes the focus";
    EXPECT_NE(screenText(terminal).find("before"), std::string::npos) << "the scroll-back is kept";

    // The last host hands it back: the terminal survives it and its shell still answers.
    second.reset();
    EXPECT_EQ(terminal.parentWidget(), nullptr);
    EXPECT_FALSE(terminal.isVisible());
    terminal.send(std::string_view("echo af't'er\n"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return screenText(terminal).find("after") != std::string::npos; }, kPatienceMs));
    controller.terminateShell();
}
