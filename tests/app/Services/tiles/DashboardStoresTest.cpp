#include "app/Models/UuidText.hpp"
#include "app/Services/tiles/DashboardStores.hpp"

#include "tests/app/Services/PreferenceBackends.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

template <typename Backend>
class DashboardStoresTest : public testing::Test {
protected:
    Backend backend;
    Preferences& prefs() { return backend.preferences(); }
};

TYPED_TEST_SUITE(DashboardStoresTest, test::PreferenceBackendTypes, test::PreferenceBackendNames);

TYPED_TEST(DashboardStoresTest, LayoutLoadsByIdOrLegacyIdElseTheDefault)
{
    EXPECT_EQ(GridLayoutStore::load(this->prefs()), GridLayoutPreset::twoByTwo);
    const std::pair<QString, GridLayoutPreset> cases[] = {
        {"2-3", GridLayoutPreset::topTwoBottomThree}, {"3x2", GridLayoutPreset::threeByTwo},
        {"1x1", GridLayoutPreset::oneByOne},          {"4x4", GridLayoutPreset::twoByTwo},
        {"3-3-3", GridLayoutPreset::threeByThree},
    };
    for (const auto& [stored, expected] : cases) {
        this->prefs().setValue(GridLayoutStore::kKey, stored);
        this->backend.restart();
        EXPECT_EQ(GridLayoutStore::load(this->prefs()), expected) << stored.toStdString();
    }
}

TYPED_TEST(DashboardStoresTest, FontSizeIsClampedWithDefault13)
{
    EXPECT_EQ(TerminalFontSizeStore::load(this->prefs()), 13);
    const std::pair<QVariant, double> cases[] = {{20.5, 20.5}, {3, 8}, {8, 8}, {40, 32}, {"abc", 8}, {32, 32}};
    for (const auto& [stored, expected] : cases) {
        this->prefs().setValue(TerminalFontSizeStore::kKey, stored);
        this->backend.restart();
        EXPECT_EQ(TerminalFontSizeStore::load(this->prefs()), expected) << stored.toString().toStdString();
    }
}

TYPED_TEST(DashboardStoresTest, PinnedProjectsRoundTripAndKeepGoodEntriesNextToABadOne)
{
    EXPECT_TRUE(PinnedProjectStore::load(this->prefs()).isEmpty());
    const QList<PinnedProject> projects{{QUuid::createUuid(), "app", "/home/u/app"},
                                        {QUuid::createUuid(), "日本語", "/home/u/日本語 dir"}};
    PinnedProjectStore::save(projects, this->prefs());
    this->backend.restart();
    EXPECT_EQ(PinnedProjectStore::load(this->prefs()), projects);

    // One entry lacking its path, one with a bad id, one not an object: the rest still load.
    const QString good = UuidText::format(projects[0].id);
    const QByteArray mixed = QStringLiteral("[{\"id\":\"%1\",\"displayName\":\"app\",\"path\":\"\\/home\\/u\\/app\"},"
                                            "{\"id\":\"%1\",\"displayName\":\"no path\"},"
                                            "{\"id\":\"nope\",\"displayName\":\"x\",\"path\":\"/x\"},"
                                            "7]")
                                 .arg(good)
                                 .toUtf8();
    this->prefs().setValue(PinnedProjectStore::kKey, mixed);
    this->backend.restart();
    EXPECT_EQ(PinnedProjectStore::load(this->prefs()), QList<PinnedProject>{projects[0]});

    // Data that is not an array loads empty and is kept aside before a save replaces it.
    this->prefs().setValue(PinnedProjectStore::kKey, QByteArray("{\"not\":\"a list\"}"));
    EXPECT_TRUE(PinnedProjectStore::load(this->prefs()).isEmpty());
    EXPECT_EQ(this->prefs().dataValue(PinnedProjectStore::kBackupKey), QByteArray("{\"not\":\"a list\"}"));
}

} // namespace
