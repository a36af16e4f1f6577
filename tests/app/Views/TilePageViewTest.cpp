#include "app/ViewModels/TerminalProcessController.hpp"
#include "app/Views/BrisvaneTerminalView.hpp"
#include "app/Views/AnnouncementSettingsPopoverView.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/GridControlsView.hpp"
#include "app/Views/LayoutPickerPopoverView.hpp"
#include "app/Views/NotificationOverlayView.hpp"
#include "app/Views/GridRowLayout.hpp"
#include "app/Views/NewSessionTileView.hpp"
#include "app/Views/TerminalFileDropContainerView.hpp"
#include "app/Views/TerminalGpuSwitch.hpp"
#include "app/Views/TerminalTileView.hpp"
#include "app/Views/TilePageView.hpp"
#include "tests/app/Views/DashboardViewsFixture.hpp"
#include "tests/app/Views/PictureChecks.hpp"
#include "tests/app/Views/TileTestSupport.hpp"
#include "tests/terminal/view/CategoryLog.hpp"

#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QMimeData>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace brisvane;

namespace {

QString gridId(const QUuid& tile)
{
    return GridTile::of(TerminalTile{tile, {}, {}, {}, {}}).id();
}

class TilePageTest : public test::DashboardViewsFixture {
protected:
    void SetUp() override
    {
        DashboardViewsFixture::SetUp();
        page = std::make_unique<TilePageView>(*model);
        page->resize(1000, 600);
        page->show();
    }
    void TearDown() override
    {
        page.reset();
        DashboardViewsFixture::TearDown();
    }

    QStringList cellIds() const
    {
        QStringList ids;
        for (QWidget* cell : page->cells()) ids << cell->property("gridId").toString();
        return ids;
    }

    // Enter, move and drop, as Qt's drag machinery delivers them; whether the drop was taken.
    static bool drop(QWidget& target, QMimeData& data)
    {
        const QPoint at = target.rect().center();
        QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &enter);
        QDragMoveEvent move(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &move);
        QDropEvent dropped(QPointF(at), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &dropped);
        return dropped.isAccepted();
    }

    std::unique_ptr<TilePageView> page;
};

TEST_F(TilePageTest, LaysOutTheCurrentPageByThePresetAndKeepsTileWidgets)
{
    // No terminals: the new-terminal tile alone, in the first place of the grid.
    ASSERT_EQ(page->cells().size(), 1);
    ASSERT_NE(qobject_cast<NewSessionTileView*>(page->cells()[0]), nullptr);
    EXPECT_EQ(page->cells()[0]->geometry(), QRect(12, 12, 482, 282));

    // Four tiles and the new-terminal tile on pages of four: two pages.
    model->setTerminalTiles(plainTiles(4));
    ASSERT_EQ(model->pages().size(), 2);
    ASSERT_EQ(page->cells().size(), 4);
    QWidget* first = page->cells()[0];
    auto* firstTile = qobject_cast<TerminalTileView*>(first);
    ASSERT_NE(firstTile, nullptr);
    // No controller: the tile shows its placeholder.
    EXPECT_NE(firstTile->missingControllerPlaceholder(), nullptr);
    EXPECT_EQ(page->cells()[3]->geometry(), QRect(506, 306, 482, 282));

    model->nextPage();
    EXPECT_EQ(cellIds(), QStringList{GridTile::kNewSessionId});
    EXPECT_FALSE(first->isVisible());
    model->previousPage();
    EXPECT_EQ(page->cells()[0], first);

    // A layout of one row of three: the fourth tile moves to the next page.
    model->setLayoutPreset(GridLayoutPreset::horizontalThree);
    EXPECT_EQ(page->cells().size(), 3);
    EXPECT_EQ(page->cells()[2]->geometry().height(), 576);

    // A closed tile's widget goes.
    QPointer<QWidget> gone = page->cell(gridId(plainTiles(1)[0].id));
    model->setTerminalTiles(plainTiles(4).mid(1));
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(TilePageTest, TheNewTerminalCellOpensATerminalTileRunningTheShell)
{
    auto* newTile = qobject_cast<NewSessionTileView*>(page->cells()[0]);
    ASSERT_NE(newTile, nullptr);
    EXPECT_EQ(newTile->accessibleName(), "新規ターミナル");
    QTest::mouseClick(newTile, Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_EQ(model->terminalTiles().size(), 1);
    const QUuid id = model->terminalTiles()[0].id;
    auto* tile = qobject_cast<TerminalTileView*>(page->cell(gridId(id)));
    ASSERT_NE(tile, nullptr);
    EXPECT_NE(tile->hostView(), nullptr);
    EXPECT_TRUE(model->terminalControllers().at(id)->runningShellPid().has_value());
    EXPECT_EQ(cellIds(), (QStringList{gridId(id), GridTile::kNewSessionId}));
    // The keyboard goes to the new shell: a Space or Return typed next must not press the
    // new-terminal tile again.
    ASSERT_NE(tile->terminalView(), nullptr);
    EXPECT_EQ(page->focusWidget(), tile->terminalView());
}

// A tile's terminal opens links with the services the model was given, not the desktop's.
TEST_F(TilePageTest, ATilesTerminalOpensLinksWithTheModelsServices)
{
    QTemporaryDir userHome;
    test::writeFile(userHome.path() + "/notes.md", {});
    auto opener = std::make_shared<testing_support::RecordingOpener>();
    page.reset();
    model.reset();
    DashboardViewModel::Parameters p = test::modelParameters(home.claudeHome(), prefs, center);
    p.homeDirectory = userHome.path();
    p.fileOpener = opener;
    model = std::make_unique<DashboardViewModel>(std::move(p));
    page = std::make_unique<TilePageView>(*model);

    auto* tile = qobject_cast<TerminalTileView*>(page->cell(gridId(model->createTerminalTile())));
    ASSERT_TRUE(tile && tile->terminalView());
    BrisvaneTerminalView& view = *tile->terminalView();
    view.requestOpenLink(view, "~/notes.md", {});
    view.requestOpenLink(view, "~/missing.md", {});
    EXPECT_EQ(opener->opened, QList<QUrl>{QUrl::fromLocalFile(userHome.path() + "/notes.md")});
}

TEST_F(TilePageTest, EveryTerminalTakesTheFontSizeAndATileOpenedLaterStartsWithIt)
{
    const QUuid first = model->createTerminalTile();
    const QUuid second = model->createTerminalTile();
    const auto pointSize = [&](const QUuid& id) {
        auto* tile = qobject_cast<TerminalTileView*>(page->cell(gridId(id)));
        return tile && tile->terminalView() ? tile->terminalView()->fonts().normal.pointSizeF() : -1.0;
    };
    EXPECT_EQ(pointSize(first), 13);
    model->increaseTerminalFontSize();
    model->increaseTerminalFontSize();
    EXPECT_EQ(pointSize(first), 15);
    EXPECT_EQ(pointSize(second), 15);
    const QUuid third = model->createTerminalTile();
    EXPECT_EQ(pointSize(third), 15);
    model->resetTerminalFontSize();
    for (const QUuid& id : {first, second, third}) EXPECT_EQ(pointSize(id), 13);
}

TEST_F(TilePageTest, DroppingAHeaderOnACellMovesThatTileBeforeIt)
{
    const QUuid a = model->createTerminalTile();
    const QUuid b = model->createTerminalTile();
    ASSERT_EQ(cellIds(), (QStringList{gridId(a), gridId(b), GridTile::kNewSessionId}));
    auto* tileA = qobject_cast<TerminalTileView*>(page->cell(gridId(a)));
    auto* tileB = qobject_cast<TerminalTileView*>(page->cell(gridId(b)));
    ASSERT_TRUE(tileA && tileB);
    const auto stored = [&] { return prefs->stringListValue("Brisvane.gridOrderedIds").value_or(QStringList()); };

    // B's header dropped on A's cell.
    std::unique_ptr<QMimeData> headerB(tileB->makeHeaderDragData());
    EXPECT_TRUE(drop(*tileA, *headerB));
    EXPECT_EQ(cellIds(), (QStringList{gridId(b), gridId(a), GridTile::kNewSessionId}));
    EXPECT_EQ(stored().mid(0, 2), (QStringList{gridId(b), gridId(a)}));
    EXPECT_EQ(page->cell(gridId(a)), tileA); // the same widgets, moved

    // On itself: nothing changes.
    EXPECT_TRUE(drop(*tileB, *headerB));
    EXPECT_EQ(cellIds(), (QStringList{gridId(b), gridId(a), GridTile::kNewSessionId}));

    // Over A's terminal (which takes dropped files): the cell still takes the header.
    auto* terminalDrop = tileA->findChild<TerminalFileDropContainerView*>();
    ASSERT_NE(terminalDrop, nullptr);
    std::unique_ptr<QMimeData> headerA(tileA->makeHeaderDragData());
    EXPECT_TRUE(drop(*tileB, *headerA));
    EXPECT_EQ(cellIds(), (QStringList{gridId(a), gridId(b), GridTile::kNewSessionId}));
    EXPECT_TRUE(drop(*terminalDrop, *headerB));
    EXPECT_EQ(cellIds(), (QStringList{gridId(b), gridId(a), GridTile::kNewSessionId}));

    // On the new-terminal cell: just before it.
    EXPECT_TRUE(drop(*page->cell(GridTile::kNewSessionId), *headerB));
    EXPECT_EQ(cellIds(), (QStringList{gridId(a), gridId(b), GridTile::kNewSessionId}));

    // Text that names no tile is handed on and reported handled; an empty drag is refused.
    QMimeData stray;
    stray.setText("hello");
    EXPECT_TRUE(drop(*tileA, stray));
    EXPECT_EQ(cellIds(), (QStringList{gridId(a), gridId(b), GridTile::kNewSessionId}));
    QMimeData empty;
    empty.setText("");
    EXPECT_FALSE(page->dropOnCell(gridId(a), &empty));
    EXPECT_FALSE(page->dropOnCell(gridId(a), nullptr));
}

TEST_F(TilePageTest, TogglingReadingOnATileStoresTheOppositeOfTheDefaultForThatTileOnly)
{
    const QUuid a = model->createTerminalTile();
    const QUuid b = model->createTerminalTile();
    auto* tileA = qobject_cast<TerminalTileView*>(page->cell(gridId(a)));
    ASSERT_NE(tileA, nullptr);
    const bool fallback = model->isConclusionReadingDefaultEnabled();
    EXPECT_EQ(tileA->isConclusionReadingEnabled(), model->tileConclusionReadingEnabled().value(a, fallback));
    emit tileA->conclusionReadingToggleRequested();
    EXPECT_EQ(model->tileConclusionReadingEnabled().value(a), !fallback);
    EXPECT_EQ(tileA->isConclusionReadingEnabled(), !fallback);
    emit tileA->conclusionReadingToggleRequested();
    EXPECT_EQ(model->tileConclusionReadingEnabled().value(a), fallback);
    EXPECT_EQ(model->tileConclusionReadingEnabled().value(b, fallback), fallback);

    // Close: the model closes the tile and the page drops it.
    emit tileA->closeRequested();
    EXPECT_EQ(cellIds(), (QStringList{gridId(b), GridTile::kNewSessionId}));
}

// The focused tile's accent shadow lies in the gap around it, painted by the page; the tiles
// themselves are not repainted for it.
TEST_F(TilePageTest, TheFocusedTileCastsAnAccentShadowPaintedByThePage)
{
    model->setTerminalTiles(plainTiles(2));
    auto* focused = qobject_cast<TerminalTileView*>(page->cells()[0]);
    auto* other = qobject_cast<TerminalTileView*>(page->cells()[1]);
    ASSERT_TRUE(focused && other);
    focused->setFocused(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return focused->focusProgress() == 1.0; }, test::kPatienceMs));
    // The animation's last step is painted before counting starts.
    QCoreApplication::processEvents();

    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    } pageCounter, tileCounter;
    page->installEventFilter(&pageCounter);
    focused->installEventFilter(&tileCounter);
    for (QWidget* child : focused->findChildren<QWidget*>()) child->installEventFilter(&tileCounter);
    page->update(focused->focusShadowRegion());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pageCounter.paints > 0; }, test::kPatienceMs));
    EXPECT_EQ(tileCounter.paints, 0) << "the shadow redrew the tile";

    const QImage image = page->grab().toImage();
    // Bluish just outside the focused tile, plain beside the other.
    const auto blueness = [&](QPoint at) {
        const QRgb pixel = image.pixel(at);
        return qBlue(pixel) - qRed(pixel);
    };
    const QRect f = focused->geometry();
    const QRect o = other->geometry();
    for (const QPoint at : {QPoint(f.center().x(), f.top() - 3), QPoint(f.center().x(), f.bottom() + 3),
                            QPoint(f.left() - 3, f.center().y()), QPoint(f.right() + 3, f.center().y())}) {
        SCOPED_TRACE(QStringLiteral("%1,%2").arg(at.x()).arg(at.y()).toStdString());
        EXPECT_GT(blueness(at), 40);
    }
    EXPECT_LT(blueness(QPoint(o.center().x(), o.bottom() + 3)), 10);
    EXPECT_LT(blueness(QPoint(f.center().x(), f.top() - TerminalTileView::kShadowExtent)), 10) << "reaches no further than the gap";

    // Unfocused, it goes.
    focused->setFocused(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return focused->focusProgress() == 0.0; }, test::kPatienceMs));
    EXPECT_LT(qBlue(page->grab().toImage().pixel(f.center().x(), f.top() - 3)) -
                  qRed(page->grab().toImage().pixel(f.center().x(), f.top() - 3)),
              10);
}

TEST_F(TilePageTest, LogsTheCellSizesOncePerSizeChange)
{
    EXPECT_EQ(page->gridSizeLogLine(QSize(1000, 600)),
              "グリッド描画領域: size=1000x600 行別セル=[482x282(2列),482x282(2列)] レイアウト=4分割（横2×縦2）");
    model->setLayoutPreset(GridLayoutPreset::topTwoBottomThree);
    EXPECT_EQ(page->gridSizeLogLine(QSize(1000, 601)),
              "グリッド描画領域: size=1000x601 行別セル=[482x282(2列),317x282(3列)] レイアウト=5分割（上2・下3）");

    static QStringList lines;
    lines.clear();
    QLoggingCategory::setFilterRules("brisvane.DashboardView.info=true");
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
        if (QByteArray(context.category) == "brisvane.DashboardView") lines << text;
    });
    page->resize(900, 500);
    page->resize(900, 500);
    page->resize(800, 500);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("グリッド描画領域: size=900x500 "));
}

// GL drawing is asked for only by BRISVANE_GPU=1; under the offscreen platform no tile can have
// it, and the reason is logged once for all of them while every terminal draws on the CPU.
TEST_F(TilePageTest, TerminalsAskForGlDrawingOnlyWhenTheEnvironmentSaysSo)
{
    for (const char* value : {"", "0", "true", "yes", " 1"})
        EXPECT_FALSE(TerminalGpuSwitch::requestedBy(QString::fromUtf8(value))) << value;
    EXPECT_TRUE(TerminalGpuSwitch::requestedBy(QStringLiteral("1")));

    const auto unsetGpu = qScopeGuard([] { qunsetenv("BRISVANE_GPU"); });
    struct Case {
        const char* environment;
        std::size_t logged;
    };
    for (const Case& c : {Case{nullptr, 0}, Case{"1", 1}}) {
        corvix::testing::CategoryLog log("brisvane.gpu");
        if (c.environment) qputenv("BRISVANE_GPU", c.environment);
        else qunsetenv("BRISVANE_GPU");
        page = std::make_unique<TilePageView>(*model, nullptr,
                                              std::make_shared<TerminalGpuSwitch>(TerminalGpuSwitch::fromEnvironment()));
        page->resize(1000, 600);
        page->show();
        QList<TerminalTileView*> tiles;
        for (int i = 0; i < 3; ++i)
            tiles << qobject_cast<TerminalTileView*>(page->cell(gridId(model->createTerminalTile())));
        for (TerminalTileView* tile : tiles) {
            ASSERT_NE(tile, nullptr);
            ASSERT_NE(tile->terminalView(), nullptr);
            EXPECT_FALSE(tile->terminalView()->isUsingGpuRenderer());
        }
        std::string logged;
        for (const auto& line : log.lines) logged += line.second + '\n';
        ASSERT_EQ(log.lines.size(), c.logged) << logged;
        if (c.logged) {
            const std::string& line = log.lines[0].second;
            EXPECT_TRUE(line.starts_with("GPU drawing unavailable: ")) << line;
            EXPECT_TRUE(line.ends_with("; drawing on the CPU")) << line;
        }
        for (TerminalTileView* tile : tiles) model->closeTerminalTile(tile->tile().id);
    }
}

} // namespace

namespace {

// The bar over the page with a toast, as the window composes them, kept as a picture for a person
// to look at (artifacts/dashboard-grid.png beside the test binary).
TEST_F(TilePageTest, TheBarThePageAndAToastDrawnTogether)
{
    page.reset();
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(18, 18, 18));
    window.setPalette(palette);
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* bar = new GridControlsView(*model, [] {}, &window);
    column->addWidget(bar);
    column->addWidget(new TilePageView(*model, &window), 1);
    auto* overlay = new NotificationOverlayView(nullptr, &window);
    window.resize(1000, 640);
    model->setTerminalTiles(plainTiles(4));
    model->addPinnedProject(home.path());
    window.show();
    overlay->setGeometry(window.rect());
    overlay->raise();
    center->post(AppNotificationSeverity::error, "claude.access.denied", "「~/.claude」へのアクセスが許可されていません",
                 QString("セッション一覧・状態表示・プラン使用率ゲージ・音声通知が機能しません。"));
    overlay->setNotifications(center->activeNotifications());
    QApplication::processEvents();

    const QImage image = window.grab().toImage();
    const QString folder = QCoreApplication::applicationDirPath() + "/artifacts";
    QDir().mkpath(folder);
    EXPECT_TRUE(image.save(folder + "/dashboard-grid.png"));
    EXPECT_EQ(image.pixelColor(bar->width() / 2, 2), QColor(24, 24, 24));
    EXPECT_EQ(image.pixelColor(2, bar->height() + 4), QColor(18, 18, 18));

    // The toast is drawn over the page: its own card, and its title legible on it.
    ASSERT_EQ(overlay->toasts().size(), 1);
    const NotificationToastView& toast = *overlay->toasts().front();
    ASSERT_TRUE(toast.isVisible());
    const QRect card(toast.mapTo(&window, QPoint()), toast.size());
    ASSERT_TRUE(window.rect().contains(card));
    // Below the last line, inside the rounded corners: the card's colour, not the tile under it.
    const QPoint insideCard(card.left() + card.width() / 2, card.bottom() - 3);
    EXPECT_EQ(image.pixelColor(insideCard), DashboardStyle::toastBackground());
    EXPECT_EQ(test::dominantColor(image, card.adjusted(8, 8, -8, -8)), DashboardStyle::toastBackground());
    const QLabel& title = *toast.titleLabel();
    ASSERT_TRUE(title.isVisible());
    const QRect titleArea(title.mapTo(&window, QPoint()), title.size());
    ASSERT_TRUE(card.contains(titleArea));
    int inkPixels = 0;
    QColor brightest = DashboardStyle::toastBackground();
    for (int y = titleArea.top(); y <= titleArea.bottom(); y++) {
        for (int x = titleArea.left(); x <= titleArea.right(); x++) {
            const QColor pixel = image.pixelColor(x, y);
            if (!test::isInk(pixel, DashboardStyle::toastBackground())) continue;
            inkPixels++;
            if (test::relativeLuminance(pixel) > test::relativeLuminance(brightest)) brightest = pixel;
        }
    }
    // A line of some twenty characters leaves hundreds of inked pixels; its strokes reach the
    // contrast the guidelines ask of body text.
    EXPECT_GT(inkPixels, 300);
    EXPECT_GE(test::contrastRatio(brightest, DashboardStyle::toastBackground()), 4.5) << brightest.name().toStdString();

    // The two popovers as they open under their buttons.
    bar->toggleLayoutPopover();
    bar->toggleAnnouncementPopover();
    ASSERT_NE(bar->layoutPopover(), nullptr);
    ASSERT_NE(bar->announcementPopover(), nullptr);
    EXPECT_TRUE(bar->layoutPopover()->grab().save(folder + "/layout-picker.png"));
    EXPECT_TRUE(bar->announcementPopover()->grab().save(folder + "/announcement-popover.png"));
}

} // namespace
