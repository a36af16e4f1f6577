#include "app/Services/voice/AnnouncementSettingsStore.hpp"

#include "tests/app/AnnouncementPrinters.hpp"
#include "tests/app/Services/PreferenceBackends.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

namespace {

template <typename Backend>
class AnnouncementSettingsStoreTest : public testing::Test {
protected:
    Backend backend;
    Preferences& preferences() { return backend.preferences(); }
};

TYPED_TEST_SUITE(AnnouncementSettingsStoreTest, test::PreferenceBackendTypes, test::PreferenceBackendNames);

TYPED_TEST(AnnouncementSettingsStoreTest, NothingStoredGivesTheDefaults)
{
    const Preferences& preferences = this->preferences();
    EXPECT_TRUE(AnnouncementSettingsStore::load(preferences));
    EXPECT_EQ(AnnouncementVoiceStore::load(preferences, false, true), AnnouncementVoice::system);
    EXPECT_EQ(CompletionAnnouncementThresholdStore::load(preferences), AnnouncementThresholdPreset::seconds30);
    EXPECT_EQ(ConclusionReadingBusyThresholdStore::load(preferences), AnnouncementThresholdPreset::minutes3);
    EXPECT_EQ(preferences.boolValue(AnnouncementSettingsStore::kConclusionReadingDefaultEnabledKey).value_or(false),
              false);
}

TYPED_TEST(AnnouncementSettingsStoreTest, StoredValuesLoadAfterARestart)
{
    Preferences& preferences = this->preferences();
    preferences.setValue(AnnouncementSettingsStore::kAnnouncementsEnabledKey, false);
    AnnouncementVoiceStore::save(AnnouncementVoice::tohokuZunko, preferences);
    preferences.setValue(CompletionAnnouncementThresholdStore::kKey, 600.0);
    preferences.setValue(ConclusionReadingBusyThresholdStore::kKey, 0.0);
    this->backend.restart();

    EXPECT_FALSE(AnnouncementSettingsStore::load(this->preferences()));
    EXPECT_EQ(this->preferences().stringValue(AnnouncementVoiceStore::kKey), "tohokuZunko");
    EXPECT_EQ(AnnouncementVoiceStore::load(this->preferences(), false, true), AnnouncementVoice::tohokuZunko);
    EXPECT_EQ(CompletionAnnouncementThresholdStore::load(this->preferences()), AnnouncementThresholdPreset::minutes10);
    EXPECT_EQ(ConclusionReadingBusyThresholdStore::load(this->preferences()), AnnouncementThresholdPreset::instant);
}

TYPED_TEST(AnnouncementSettingsStoreTest, TheSwitchGoesThroughTheCoercions)
{
    struct Case {
        QVariant stored;
        bool enabled;
    };
    const Case cases[] = {
        {QStringLiteral("YES"), true}, {QStringLiteral("0"), false}, {QStringLiteral("abc"), false},
        {0, false},                    {7, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        this->preferences().setValue(AnnouncementSettingsStore::kAnnouncementsEnabledKey, c.stored);
        this->backend.restart();
        EXPECT_EQ(AnnouncementSettingsStore::load(this->preferences()), c.enabled);
    }
}

TYPED_TEST(AnnouncementSettingsStoreTest, AStoredVoiceLoadsOnlyWhenItIsOffered)
{
    struct Case {
        QVariant stored;
        bool isInternalBuild;
        bool isJapaneseLocale;
        AnnouncementVoice voice;
    };
    const Case cases[] = {
        {QStringLiteral("zundamon"), false, true, AnnouncementVoice::zundamon},
        {QStringLiteral("kuronoTakehiro"), false, true, AnnouncementVoice::kuronoTakehiro},
        // Letter case counts.
        {QStringLiteral("Zundamon"), false, true, AnnouncementVoice::system},
        // Offered in internal builds only.
        {QStringLiteral("aoyamaRyuusei"), false, true, AnnouncementVoice::system},
        {QStringLiteral("kotoneNia"), false, true, AnnouncementVoice::system},
        {QStringLiteral("kotoneNia"), true, true, AnnouncementVoice::kotoneNia},
        // No character outside a Japanese locale.
        {QStringLiteral("zundamon"), false, false, AnnouncementVoice::system},
        {QStringLiteral("kotoneNia"), true, false, AnnouncementVoice::system},
        {QStringLiteral("nobody"), false, true, AnnouncementVoice::system},
        {3, false, true, AnnouncementVoice::system},
        {QByteArray("zundamon"), false, true, AnnouncementVoice::system},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString() + (c.isInternalBuild ? " internal" : "")
                     + (c.isJapaneseLocale ? " ja" : " en"));
        this->preferences().setValue(AnnouncementVoiceStore::kKey, c.stored);
        this->backend.restart();
        EXPECT_EQ(AnnouncementVoiceStore::load(this->preferences(), c.isInternalBuild, c.isJapaneseLocale), c.voice);
    }
}

TYPED_TEST(AnnouncementSettingsStoreTest, AThresholdLoadsAsTheNearestPreset)
{
    struct Case {
        QVariant stored;
        AnnouncementThresholdPreset preset;
    };
    const Case cases[] = {
        {45.0, AnnouncementThresholdPreset::seconds30},  {240, AnnouncementThresholdPreset::minutes3},
        {1000, AnnouncementThresholdPreset::minutes10},  {QStringLiteral("abc"), AnnouncementThresholdPreset::instant},
        {QStringLiteral("300"), AnnouncementThresholdPreset::minutes5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        this->preferences().setValue(CompletionAnnouncementThresholdStore::kKey, c.stored);
        this->preferences().setValue(ConclusionReadingBusyThresholdStore::kKey, c.stored);
        this->backend.restart();
        EXPECT_EQ(CompletionAnnouncementThresholdStore::load(this->preferences()), c.preset);
        EXPECT_EQ(ConclusionReadingBusyThresholdStore::load(this->preferences()), c.preset);
    }
}

} // namespace
