#include "app/Services/sessions/ClaudeProjectDirectoryNameEncoder.hpp"
#include "app/Services/tiles/DashboardStores.hpp"
#include "app/Views/GridControlsView.hpp"
#include "app/Views/GridLayoutIconView.hpp"
#include "app/Views/LayoutPickerPopoverView.hpp"
#include "tests/app/Views/DashboardViewsFixture.hpp"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace brisvane;

namespace {

class GridControlsTest : public test::DashboardViewsFixture {
protected:
    void SetUp() override
    {
        DashboardViewsFixture::SetUp();
        bar = std::make_unique<GridControlsView>(*model, [this] { settingsOpened++; });
        bar->resize(1000, 40);
        bar->show();
    }
    void TearDown() override
    {
        bar.reset();
        DashboardViewsFixture::TearDown();
    }

    QStringList menuTexts(QMenu* menu) const
    {
        QStringList texts;
        for (QAction* action : menu->actions()) texts << action->text();
        return texts;
    }

    std::unique_ptr<GridControlsView> bar;
    int settingsOpened = 0;
};

TEST_F(GridControlsTest, TheLayoutPickerMarksTheCurrentPresetAndStoresAChoice)
{
    EXPECT_EQ(bar->layoutLabel()->text(), "4分割（横2×縦2）");
    EXPECT_EQ(bar->layoutButton()->accessibleName(), "レイアウト選択（現在: 4分割（横2×縦2））");
    QTest::mouseClick(bar->layoutButton(), Qt::LeftButton);
    ASSERT_TRUE(bar->isLayoutPopoverPresented());
    LayoutPickerPopoverView& picker = *bar->layoutPopover();
    EXPECT_EQ(picker.width(), 200);

    // Every preset in order; exactly the current one marked.
    ASSERT_EQ(picker.rows().size(), GridLayoutPreset::allCases().size());
    for (int i = 0; i < picker.rows().size(); ++i) {
        const LayoutPickerRow& row = *picker.rows()[i];
        const bool current = GridLayoutPreset::allCases()[i] == GridLayoutPreset::twoByTwo;
        EXPECT_EQ(row.preset(), GridLayoutPreset::allCases()[i]);
        EXPECT_EQ(row.isSelected(), current) << i;
        EXPECT_EQ(row.showsCheckmark(), current) << i;
    }

    LayoutPickerRow* nine = picker.rows().back();
    QTest::mouseClick(nine, Qt::LeftButton);
    EXPECT_EQ(model->layoutPreset(), GridLayoutPreset::threeByThree);
    EXPECT_EQ(prefs->value(GridLayoutStore::kKey), QVariant(QStringLiteral("3-3-3")));
    EXPECT_FALSE(bar->isLayoutPopoverPresented());
    EXPECT_EQ(bar->layoutIcon()->rows(), (QList<int>{3, 3, 3}));
    EXPECT_TRUE(nine->isSelected());
    EXPECT_EQ(std::count_if(picker.rows().begin(), picker.rows().end(), [](auto* r) { return r->isSelected(); }), 1);

    // A layout that is no preset marks none.
    model->setLayoutPreset(GridLayoutPreset({4}));
    EXPECT_EQ(std::count_if(picker.rows().begin(), picker.rows().end(), [](auto* r) { return r->isSelected(); }), 0);

    // The button toggles; a restart shows the stored choice.
    bar->toggleLayoutPopover();
    EXPECT_TRUE(bar->isLayoutPopoverPresented());
    bar->toggleLayoutPopover();
    EXPECT_FALSE(bar->isLayoutPopoverPresented());
    bar->toggleLayoutPopover();
    QTest::keyClick(bar->layoutPopover(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isLayoutPopoverPresented());
    bar.reset();
    make();
    EXPECT_EQ(model->layoutPreset(), GridLayoutPreset::threeByThree);
}

TEST_F(GridControlsTest, PageControlsTurnPagesByButtonKeyAndSwipe)
{
    // One page: no page controls.
    EXPECT_FALSE(bar->pageControls()->isVisible());
    model->setTerminalTiles(plainTiles(4)); // five cells on pages of four
    ASSERT_EQ(model->pages().size(), 2);
    GridPageControls& pages = *bar->pageControls();
    ASSERT_TRUE(pages.isVisible());
    EXPECT_EQ(pages.counterLabel()->text(), "1 / 2");

    QTest::mouseClick(pages.nextButton(), Qt::LeftButton);
    EXPECT_EQ(model->currentPageIndex(), 1);
    EXPECT_EQ(pages.counterLabel()->text(), "2 / 2");
    QTest::mouseClick(pages.nextButton(), Qt::LeftButton); // the last page stays
    EXPECT_EQ(model->currentPageIndex(), 1);
    QTest::keyClick(&pages, Qt::Key_Left);
    EXPECT_EQ(model->currentPageIndex(), 0);
    QTest::keyClick(&pages, Qt::Key_Left); // the first page stays
    EXPECT_EQ(model->currentPageIndex(), 0);
    QTest::keyClick(&pages, Qt::Key_Right);
    EXPECT_EQ(model->currentPageIndex(), 1);

    struct Swipe {
        QPoint by;
        int expectedPage;
    };
    // On the counter, which lets presses through to the controls.
    const QPoint start = pages.counterLabel()->geometry().center();
    model->previousPage();
    for (const Swipe& swipe : {Swipe{{-30, 0}, 1}, Swipe{{20, 0}, 1}, Swipe{{30, 0}, 0}, Swipe{{-5, 30}, 1},
                               Swipe{{0, -30}, 1}, Swipe{{23, 0}, 1}}) {
        QTest::mousePress(&pages, Qt::LeftButton, {}, start);
        QTest::mouseRelease(&pages, Qt::LeftButton, {}, start + swipe.by);
        EXPECT_EQ(model->currentPageIndex(), swipe.expectedPage) << swipe.by.x() << "," << swipe.by.y();
    }

    model->setTerminalTiles({});
    EXPECT_FALSE(bar->pageControls()->isVisible());
}

TEST_F(GridControlsTest, FontSizeStepsByOneWithinEightToThirtyTwo)
{
    struct Step {
        double current;
        int step;
        double expected;
    };
    // The buttons step through the model, which holds the one clamp.
    for (const Step& s : {Step{8, -1, 8}, Step{32, +1, 32}, Step{12.5, -1, 11.5}, Step{13, +1, 14}, Step{31.5, +1, 32}}) {
        model->setTerminalFontSize(s.current);
        QTest::mouseClick(s.step < 0 ? bar->smallerFontButton() : bar->largerFontButton(), Qt::LeftButton);
        EXPECT_EQ(model->terminalFontSize(), s.expected) << s.current << " " << s.step;
        EXPECT_EQ(prefs->value(TerminalFontSizeStore::kKey).toDouble(), s.expected);
    }
    EXPECT_EQ(bar->smallerFontButton()->accessibleName(), "ターミナルの文字を縮小");
    EXPECT_EQ(bar->largerFontButton()->accessibleName(), "ターミナルの文字を拡大");
}

TEST_F(GridControlsTest, TheSpeakerFollowsTheSwitchAndTheSettingsButtonOpensTheSettings)
{
    EXPECT_EQ(bar->announcementButton()->property("symbolName").toString(), "speaker.wave.2.fill");
    model->setAnnouncementsEnabled(false);
    EXPECT_EQ(bar->announcementButton()->property("symbolName").toString(), "speaker.slash.fill");
    QTest::mouseClick(bar->announcementButton(), Qt::LeftButton);
    EXPECT_TRUE(bar->isAnnouncementPopoverPresented());
    bar->toggleAnnouncementPopover();
    EXPECT_FALSE(bar->isAnnouncementPopoverPresented());

    QTest::mouseClick(bar->settingsButton(), Qt::LeftButton);
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(bar->settingsButton()->accessibleName(), "設定を開く");
}

TEST_F(GridControlsTest, PinnedChipsOfferTheResumeItemExactlyWhenATranscriptExists)
{
    EXPECT_FALSE(bar->pinChips()->isVisible());
    const QString withTranscript = home.path() + "/work/my_app.v2";
    const QString without = home.path() + "/other";
    QDir().mkpath(withTranscript);
    QDir().mkpath(without);
    // The agent's folder for the project: the path with "/", "." and "_" as "-".
    const QString transcripts = home.projectsDirectory() + "/" + ClaudeProjectDirectoryNameEncoder::encode(withTranscript);
    EXPECT_TRUE(transcripts.endsWith("-work-my-app-v2"));
    test::writeFile(transcripts + "/conversation.jsonl", "{}\n");
    const QDateTime written(QDate(2026, 3, 5), QTime(9, 7));
    QFile file(transcripts + "/conversation.jsonl");
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    file.close();

    model->addPinnedProject(withTranscript);
    model->addPinnedProject(without);
    ASSERT_EQ(bar->chips().size(), 2);
    EXPECT_TRUE(bar->pinChips()->isVisible());
    PinnedProjectChip& first = *bar->chips()[0];
    EXPECT_EQ(first.text(), "my_app.v2");
    EXPECT_EQ(first.accessibleName(), "ピン: my_app.v2");
    EXPECT_EQ(menuTexts(first.rebuildMenu()), (QStringList{"新規セッション", "続きから（3/5 9:07）"}));
    EXPECT_EQ(menuTexts(bar->chips()[1]->rebuildMenu()), QStringList{"新規セッション"});

    // A folder gone away: the launch reports it and opens nothing.
    QDir(without).removeRecursively();
    bar->chips()[1]->rebuildMenu()->actions().front()->trigger();
    EXPECT_TRUE(model->terminalTiles().isEmpty());
    ASSERT_EQ(center->activeNotifications().size(), 1);
    EXPECT_EQ(center->activeNotifications().front().dedupeKey, "pin.launch");

    // Unpinning takes the chip away; the last one takes the row.
    bar->chips()[1]->contextMenu()->actions().front()->trigger();
    ASSERT_EQ(model->pinnedProjects().size(), 1);
    EXPECT_EQ(bar->chips().size(), 1);
    EXPECT_EQ(bar->chips()[0]->contextMenu()->actions().front()->text(), "ピンを外す");
    bar->chips()[0]->contextMenu()->actions().front()->trigger();
    EXPECT_TRUE(bar->chips().isEmpty());
    EXPECT_FALSE(bar->pinChips()->isVisible());
}

TEST(GridControlsResumeDate, IsMonthDayAndTwentyFourHourTimeWithoutLeadingZeros)
{
    EXPECT_EQ(GridControlsView::resumeDateLabel(QDateTime(QDate(2026, 3, 5), QTime(9, 7))), "3/5 9:07");
    EXPECT_EQ(GridControlsView::resumeDateLabel(QDateTime(QDate(2026, 12, 31), QTime(23, 59))), "12/31 23:59");
    // Shown in local time whatever zone the date comes in.
    const QDateTime local(QDate(2026, 7, 1), QTime(0, 5));
    EXPECT_EQ(GridControlsView::resumeDateLabel(local.toUTC()), "7/1 0:05");
}

} // namespace
