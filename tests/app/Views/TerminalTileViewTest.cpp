#include "app/Views/TerminalTileView.hpp"

#include "app/Views/ColorDot.hpp"

#include "app/Models/UuidText.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/TerminalFileDropContainerView.hpp"
#include "app/Views/TerminalHostView.hpp"
#include "app/Views/BrisvaneTerminalView.hpp"
#include "tests/app/TerminalScreenText.hpp"
#include "tests/app/TerminalTilePrinters.hpp"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace brisvane;
using Tone = SessionStateAppearance::Tone;

namespace {

constexpr int kPatienceMs = 10'000;

TerminalTile makeTile(TerminalTileLifecycle lifecycle, SessionState state, QString modelName = "claude-opus-4")
{
    return {QUuid::createUuid(), lifecycle, {"brisvane", std::nullopt, false}, std::move(state), std::move(modelName)};
}

QString symbolOf(const QWidget* widget)
{
    return widget->property("symbolName").toString();
}

} // namespace

TEST(TerminalTileView, TheHeaderShowsEachStateAsTheTableSays)
{
    const auto attached = TerminalTileLifecycle::attached(4242);
    const struct {
        const char* name;
        TerminalTile tile;
        QString label;
        std::optional<QString> detail;
        Tone tone;
        bool showsModel;
    } cases[] = {
        {"idle", makeTile(attached, SessionState::idle()), "アイドル", std::nullopt, Tone::idle, true},
        {"busy", makeTile(attached, SessionState::busy()), "実行中", std::nullopt, Tone::busy, true},
        {"waiting with a reason", makeTile(attached, SessionState::waiting("Bash の実行")), "許可待ち",
         "Bash の実行", Tone::waiting, true},
        {"waiting without one", makeTile(attached, SessionState::waiting()), "許可待ち", std::nullopt, Tone::waiting,
         true},
        {"terminated", makeTile(attached, SessionState::terminated()), "終了", std::nullopt, Tone::terminated, true},
        {"unknown", makeTile(attached, SessionState::unknown()), "不明", std::nullopt, Tone::unknown, true},
        {"shell only, even with a model name", makeTile(TerminalTileLifecycle::shellOnly(), SessionState::busy()),
         "シェル", std::nullopt, Tone::idle, false},
        {"closed", makeTile(TerminalTileLifecycle::closed(), SessionState::busy()), "終了", std::nullopt,
         Tone::terminated, false},
    };
    TerminalTileView view(cases[0].tile, nullptr);
    view.resize(600, 300);
    view.show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.setTile(c.tile);
        EXPECT_EQ(TerminalTileView::appearance(c.tile), (TerminalTileView::Appearance{c.tone, c.label, c.detail}));
        EXPECT_EQ(view.stateLabel()->text(), c.label);
        EXPECT_EQ(view.detailLabel()->isVisible(), c.detail.has_value());
        EXPECT_EQ(view.detailLabel()->text(), c.detail.value_or(QString()));
        EXPECT_EQ(view.modelNameLabel()->isVisible(), c.showsModel);
        EXPECT_EQ(view.modelNameLabel()->text(), c.showsModel ? "claude-opus-4" : "");
        EXPECT_EQ(view.stateDot()->color(), DashboardStyle::toneColor(c.tone));
    }
    EXPECT_EQ(DashboardStyle::toneColor(Tone::terminated), QColor(Qt::white));
    EXPECT_EQ(DashboardStyle::toneColor(Tone::waiting), DashboardStyle::red());
}

TEST(TerminalTileView, ProjectNamesAndTheDragIdentifier)
{
    TerminalTile tile = makeTile(TerminalTileLifecycle::shellOnly(), SessionState::unknown());
    tile.projectName = {"brisvane", "fix the tile header", false};
    TerminalTileView view(tile, nullptr);
    view.resize(800, 300);
    view.show();
    EXPECT_EQ(view.primaryNameLabel()->property("fullText").toString(), "brisvane");
    EXPECT_TRUE(view.secondaryNameLabel()->isVisible());
    EXPECT_EQ(view.secondaryNameLabel()->text(), "fix the tile header");
    tile.projectName.secondary.reset();
    view.setTile(tile);
    EXPECT_FALSE(view.secondaryNameLabel()->isVisible());

    const std::unique_ptr<QMimeData> drag(view.makeHeaderDragData());
    EXPECT_EQ(drag->text(), "terminal-" + tile.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(drag->text(), "terminal-" + UuidText::format(tile.id));
}

// A header narrowing step by step (a 3x3 grid on a small window): what gives way, in order. The
// project name is the last to go: it keeps every character while anything else is shown.
TEST(TerminalTileView, TheProjectNameIsTheLastPartOfTheHeaderToGo)
{
    TerminalTile tile = makeTile(TerminalTileLifecycle::attached(4242), SessionState::waiting("Bash"));
    tile.projectName = {"brisvane-dashboard", "fix the tile header", false};
    TerminalTileView view(tile, nullptr);
    view.show();
    const QString name = tile.projectName.primary;
    // What is shown, as one line per width: d(etail) s(econdary) m(odel) l(abel), and the name
    // as shown.
    const auto shown = [&] {
        QString parts;
        for (const auto& [letter, label] : {std::pair{'s', view.secondaryNameLabel()}, std::pair{'l', view.stateLabel()},
                                            std::pair{'d', view.detailLabel()}, std::pair{'m', view.modelNameLabel()}}) {
            if (label->isVisible()) parts += QLatin1Char(letter);
        }
        return parts;
    };
    struct Stage {
        QString parts;
        bool wholeName;
    };
    // In the order they come while the width shrinks.
    const Stage stages[] = {
        {"sldm", true}, // everything
        {"slm", true},  // the waiting reason goes first
        {"lm", true},   // then the secondary name
        {"l", true},    // then the model
        {"", true},     // then the state label
        {"", false},    // and only then the name gives up its head
    };
    QList<QString> seen;
    int stage = 0;
    for (int width = 900; width >= 120; width -= 2) {
        view.resize(width, 200);
        QCoreApplication::processEvents();
        const QString parts = shown();
        const bool whole = view.primaryNameLabel()->text() == name;
        SCOPED_TRACE(QStringLiteral("width %1: %2 %3").arg(width).arg(parts, view.primaryNameLabel()->text()).toStdString());
        // Moves only forward through the stages, never skipping back.
        while (stage < int(std::size(stages)) && !(stages[stage].parts == parts && stages[stage].wholeName == whole))
            ++stage;
        ASSERT_LT(stage, int(std::size(stages))) << "not one of the stages, or out of order";
        if (seen.isEmpty() || seen.back() != stages[stage].parts + (whole ? "" : "…")) seen.append(stages[stage].parts + (whole ? "" : "…"));
        // Whatever is shown fits: the name is never cut while another text is there.
        if (!parts.isEmpty()) EXPECT_TRUE(whole);
    }
    EXPECT_EQ(seen, (QList<QString>{"sldm", "slm", "lm", "l", "", "…"}));
    EXPECT_TRUE(view.primaryNameLabel()->text().endsWith("dashboard") || view.primaryNameLabel()->text().endsWith("…"));
    // The controls stay at every width.
    EXPECT_TRUE(view.closeButton()->isVisible());
    EXPECT_TRUE(view.readingToggle()->isVisible());
}

TEST(TerminalTileView, TheControlsCallBackAndThePinItemNeedsAFolder)
{
    TerminalTileView view(makeTile(TerminalTileLifecycle::shellOnly(), SessionState::unknown()), nullptr);
    view.resize(600, 300);
    view.show();
    int toggles = 0;
    int closes = 0;
    QStringList pinned;
    QObject::connect(&view, &TerminalTileView::conclusionReadingToggleRequested, [&] { ++toggles; });
    QObject::connect(&view, &TerminalTileView::closeRequested, [&] { ++closes; });
    QObject::connect(&view, &TerminalTileView::pinProjectRequested,
                     [&](const QString& folder) { pinned.append(folder); });

    // Without a controller the placeholder stands in, and the header still works.
    ASSERT_NE(view.missingControllerPlaceholder(), nullptr);
    EXPECT_EQ(view.hostView(), nullptr);
    EXPECT_EQ(view.missingControllerPlaceholder()->accessibleName(), "ターミナルを表示できません");

    struct ReadingCase {
        bool on;
        const char* symbol;
        const char* tooltip;
        const char* accessibleName;
    };
    for (const ReadingCase& c : {ReadingCase{false, "text.bubble", "結論の読み上げ: OFF", "結論の読み上げをONにする"},
                                 ReadingCase{true, "text.bubble.fill",
                                             "結論の読み上げ: ON（長い作業のときだけ結論を読みます）",
                                             "結論の読み上げをOFFにする"}}) {
        SCOPED_TRACE(c.symbol);
        view.setConclusionReadingEnabled(c.on);
        EXPECT_EQ(symbolOf(view.readingToggle()), c.symbol);
        EXPECT_EQ(view.readingToggle()->toolTip(), c.tooltip);
        EXPECT_EQ(view.readingToggle()->accessibleName(), c.accessibleName);
    }
    QTest::mouseClick(view.readingToggle(), Qt::LeftButton);
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(symbolOf(view.menuButton()), "ellipsis.circle");
    EXPECT_EQ(view.menuButton()->accessibleName(), "タイルメニュー");
    EXPECT_EQ(symbolOf(view.closeButton()), "xmark.circle");
    EXPECT_EQ(view.closeButton()->accessibleName(), "ターミナルタイルを閉じる");
    QTest::mouseClick(view.closeButton(), Qt::LeftButton);
    EXPECT_EQ(closes, 1);

    EXPECT_EQ(view.pinProjectAction()->text(), "このプロジェクトをピン留め");
    EXPECT_FALSE(view.pinProjectAction()->isEnabled());
    view.pinProjectAction()->trigger();
    EXPECT_TRUE(pinned.isEmpty());
    view.setCurrentCwd("/work/project");
    EXPECT_TRUE(view.pinProjectAction()->isEnabled());
    view.pinProjectAction()->trigger();
    EXPECT_EQ(pinned, QStringList({"/work/project"}));
    view.setCurrentCwd(std::nullopt);
    EXPECT_FALSE(view.pinProjectAction()->isEnabled());
}

TEST(TerminalTileView, MakesATerminalWidgetForTheControllersSessionAndDropsItWithTheController)
{
    TerminalProcessController controller(QUuid::createUuid(), QDir::homePath());
    TerminalTile tile = makeTile(TerminalTileLifecycle::shellOnly(), SessionState::unknown());
    tile.id = controller.tileId();
    auto view = std::make_unique<TerminalTileView>(tile, &controller);
    view->resize(600, 400);
    view->show();
    ASSERT_NE(view->hostView(), nullptr);
    EXPECT_EQ(view->missingControllerPlaceholder(), nullptr);
    ASSERT_NE(view->terminalView(), nullptr);
    EXPECT_EQ(view->hostView()->terminalView(), view->terminalView());
    EXPECT_EQ(&view->terminalView()->session(), &controller.session());
    EXPECT_EQ(controller.session().view(), view->terminalView());
    EXPECT_TRUE(view->terminalView()->isVisible());

    // The page builds a new tile widget for the same tile: it shows the same session in a
    // terminal widget of its own, and the old tile's goes with it.
    auto rebuilt = std::make_unique<TerminalTileView>(tile, &controller);
    rebuilt->show();
    QPointer<QWidget> old = view->terminalView();
    view.reset();
    EXPECT_TRUE(old.isNull());
    ASSERT_NE(rebuilt->terminalView(), nullptr);
    EXPECT_EQ(&rebuilt->terminalView()->session(), &controller.session());
    EXPECT_EQ(controller.session().view(), rebuilt->terminalView());
    EXPECT_EQ(rebuilt->terminalView()->parentWidget(), static_cast<QWidget*>(rebuilt->hostView()->container()));

    // Without the controller, the placeholder returns and the terminal widget goes.
    QPointer<QWidget> shown = rebuilt->terminalView();
    rebuilt->setController(nullptr);
    EXPECT_NE(rebuilt->missingControllerPlaceholder(), nullptr);
    EXPECT_TRUE(shown.isNull());
    EXPECT_EQ(controller.session().view(), nullptr);
}

TEST(TerminalTileView, ANewTerminalWidgetShowsTheSessionsScreenScrollBackAndChildUnchanged)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    TerminalProcessController controller(QUuid::createUuid(), folder.path());
    ASSERT_TRUE(controller.start("/bin/sh", {{"PATH", "/usr/bin:/bin"}, {"PS1", "$ "}, {"ENV", ""}}, folder.path()).ok());
    TerminalTile tile = makeTile(TerminalTileLifecycle::shellOnly(), SessionState::unknown());
    tile.id = controller.tileId();
    TerminalTileView view(tile, &controller);
    view.resize(600, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    corvix::LocalProcessSession& session = controller.session();
    corvix::Terminal& terminal = session.terminal();
    const auto waitForScreen = [&](const std::string& needle) {
        return QTest::qWaitFor(
            [&] { return testing_support::screenText(terminal).find(needle) != std::string::npos; }, kPatienceMs);
    };
    // More lines than the screen holds, so that some are in the scroll-back.
    view.terminalView()->send(std::string_view("i=0; while [ $i -lt 100 ]; do echo line-$i; i=$((i+1)); done; echo fi'r'st\n"));
    ASSERT_TRUE(waitForScreen("first"));
    ASSERT_GT(terminal.buffer().lines().count(), terminal.rows);
    const std::string before = testing_support::screenText(terminal);
    const int lines = terminal.buffer().lines().count();
    const QSize grid(terminal.cols, terminal.rows);
    const std::optional<int32_t> shell = controller.runningShellPid();
    ASSERT_TRUE(shell.has_value());

    // The widget goes: the session has none, and its terminal, scroll-back and shell stay.
    QPointer<QWidget> old = view.terminalView();
    view.setController(nullptr);
    ASSERT_TRUE(old.isNull());
    EXPECT_EQ(session.view(), nullptr);
    EXPECT_EQ(testing_support::screenText(terminal), before);
    // Without a widget the session still reads the shell and feeds the terminal.
    session.send(std::string_view("echo mid'd'le\n"));
    ASSERT_TRUE(waitForScreen("middle"));
    const std::string detached = testing_support::screenText(terminal);
    const int detachedLines = terminal.buffer().lines().count();

    // A new widget for the same session, in the same tile: the same terminal, unchanged.
    view.setController(&controller);
    ASSERT_NE(view.terminalView(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.terminalView()->isVisible(); }, kPatienceMs));
    QCoreApplication::processEvents();
    EXPECT_EQ(&view.terminalView()->getTerminal(), &terminal);
    EXPECT_EQ(session.view(), view.terminalView());
    EXPECT_EQ(testing_support::screenText(terminal), detached) << "the screen and the scroll-back";
    EXPECT_NE(detached.find(before.substr(0, before.find("first"))), std::string::npos);
    EXPECT_EQ(terminal.buffer().lines().count(), detachedLines);
    EXPECT_GE(detachedLines, lines);
    EXPECT_EQ(QSize(terminal.cols, terminal.rows), grid);
    EXPECT_EQ(controller.runningShellPid(), shell) << "the same child, still running";
    EXPECT_FALSE(controller.hasShellExited());

    // Typed into the new widget, echoed by the same shell.
    view.terminalView()->send(std::string_view("echo af't'er\n"));
    EXPECT_TRUE(waitForScreen("after"));
    controller.terminateShell();
}

TEST(TerminalTileView, FocusRaisesTheHeaderAndMovesTheBorderInAnimated)
{
    TerminalTileView view(makeTile(TerminalTileLifecycle::shellOnly(), SessionState::unknown()), nullptr);
    view.resize(600, 300);
    view.show();
    EXPECT_EQ(view.focusProgress(), 0.0);
    view.setFocused(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.focusProgress() == 1.0; }, kPatienceMs));
    view.setFocused(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.focusProgress() == 0.0; }, kPatienceMs));
}
