#include "app/Services/platform/Preferences.hpp"

#include "tests/app/Printers.hpp"
#include "tests/app/Services/PreferenceBackends.hpp"
#include "tests/app/Services/ScopedHomeEnvironment.hpp"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace brisvane;

namespace {

template <typename Backend>
class PreferencesTest : public testing::Test {
protected:
    Backend backend;
    Preferences& preferences() { return backend.preferences(); }
};

TYPED_TEST_SUITE(PreferencesTest, test::PreferenceBackendTypes, test::PreferenceBackendNames);

TYPED_TEST(PreferencesTest, ValuesKeepTheirTypesThroughARestart)
{
    const QByteArray json = QString::fromUtf8(R"([{"projectName":"日本語","reading":"にほんご"}])").toUtf8();
    Preferences& stored = this->preferences();
    stored.setValue("Brisvane.flag", false);
    stored.setValue("Brisvane.size", 13.5);
    stored.setValue("Brisvane.count", 3);
    stored.setValue("Brisvane.voice", QStringLiteral("zundamon"));
    stored.setValue("Brisvane.atSign", QStringLiteral("@ByteArray(not bytes)"));
    stored.setValue("Brisvane.data", json);
    stored.setValue("Brisvane.none", QStringList{});
    stored.setValue("Brisvane.one", QStringList{"terminal-A"});
    stored.setValue("Brisvane.two", QStringList{"a, b", "new-session"});
    this->backend.restart();

    const Preferences& read = this->preferences();
    EXPECT_EQ(read.boolValue("Brisvane.flag"), false);
    EXPECT_EQ(read.doubleValue("Brisvane.size"), 13.5);
    EXPECT_EQ(read.doubleValue("Brisvane.count"), 3.0);
    EXPECT_EQ(read.stringValue("Brisvane.voice"), "zundamon");
    EXPECT_EQ(read.stringValue("Brisvane.atSign"), "@ByteArray(not bytes)");
    EXPECT_EQ(read.dataValue("Brisvane.atSign"), std::nullopt);
    EXPECT_EQ(read.dataValue("Brisvane.data"), json);
    EXPECT_EQ(read.stringValue("Brisvane.data"), std::nullopt);
    EXPECT_EQ(read.stringListValue("Brisvane.none"), QStringList{});
    EXPECT_EQ(read.stringListValue("Brisvane.one"), QStringList{"terminal-A"});
    EXPECT_EQ(read.stringListValue("Brisvane.two"), (QStringList{"a, b", "new-session"}));
}

TYPED_TEST(PreferencesTest, AbsentKeysGiveNothingAndRemovedKeysAreAbsent)
{
    Preferences& preferences = this->preferences();
    preferences.setValue("Brisvane.flag", true);
    preferences.remove("Brisvane.flag");
    this->backend.restart();
    for (const char* key : {"Brisvane.flag", "Brisvane.never"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(this->preferences().contains(key));
        EXPECT_EQ(this->preferences().boolValue(key), std::nullopt);
        EXPECT_EQ(this->preferences().doubleValue(key), std::nullopt);
        EXPECT_EQ(this->preferences().stringValue(key), std::nullopt);
        EXPECT_EQ(this->preferences().dataValue(key), std::nullopt);
        EXPECT_EQ(this->preferences().stringListValue(key), std::nullopt);
    }
}

TYPED_TEST(PreferencesTest, BooleansAndNumbersAreCoercedAlike)
{
    struct Case {
        QVariant stored;
        bool asBool;
        double asDouble;
    };
    const Case cases[] = {
        {true, true, 1},
        {false, false, 0},
        {0, false, 0},
        {-2, true, -2},
        {2.5, true, 2.5},
        {QStringLiteral("YES"), true, 1},
        {QStringLiteral("yes"), true, 1},
        {QStringLiteral("TRUE"), true, 1},
        {QStringLiteral("1"), true, 1},
        {QStringLiteral(" 45 "), true, 45},
        {QStringLiteral("1e3"), true, 1000},
        {QStringLiteral("0"), false, 0},
        {QStringLiteral("no"), false, 0},
        {QStringLiteral("false"), false, 0},
        {QStringLiteral("abc"), false, 0},
        {QStringLiteral("45s"), false, 0},
        {QStringLiteral("nan"), false, 0},
        {QStringLiteral(""), false, 0},
        {QByteArray("1"), false, 0},
    };
    int index = 0;
    for (const Case& c : cases) {
        const QString key = QStringLiteral("Brisvane.case%1").arg(index++);
        this->preferences().setValue(key, c.stored);
    }
    this->backend.restart();
    index = 0;
    for (const Case& c : cases) {
        const QString key = QStringLiteral("Brisvane.case%1").arg(index++);
        SCOPED_TRACE(c.stored.toString().toStdString());
        EXPECT_EQ(this->preferences().boolValue(key), c.asBool);
        EXPECT_EQ(this->preferences().doubleValue(key), c.asDouble);
    }
}

// Why the typed readers coerce: the file has no types for booleans, numbers or one-element
// lists.
TEST(QSettingsPreferences, TheFileGivesBooleansAndNumbersBackAsText)
{
    test::QSettingsBackend backend;
    backend.preferences().setValue("Brisvane.flag", true);
    backend.preferences().setValue("Brisvane.size", 13.5);
    backend.restart();
    EXPECT_EQ(backend.preferences().value("Brisvane.flag"), QVariant(QStringLiteral("true")));
    EXPECT_EQ(backend.preferences().value("Brisvane.size"), QVariant(QStringLiteral("13.5")));
}

// The application's file lives in its own folder under the user's configuration folder; one left
// at the placeholder place of earlier versions is moved there at the first start, so its
// preferences are read from the new place. A file already at the new place is never overwritten.
TEST(QSettingsPreferences, TheOldFileMovesToTheApplicationsFolderOnce)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const test::ScopedHomeEnvironment environment(home.path());
    const QString config = home.path() + "/.config";
    EXPECT_EQ(QSettingsPreferences::defaultFilePath(), config + "/Brisvane/Brisvane.conf");
    EXPECT_EQ(QSettingsPreferences::oldDefaultFilePath(), config + "/Unknown Organization/Brisvane.conf");
    {
        QSettingsPreferences old(QSettingsPreferences::oldDefaultFilePath());
        old.setValue("Brisvane.terminalFontSize", 15);
        old.setValue("Brisvane.onboardingCompletedVersion", 1);
    }
    {
        QSettingsPreferences moved;
        EXPECT_EQ(moved.doubleValue("Brisvane.terminalFontSize"), 15);
        EXPECT_TRUE(moved.contains("Brisvane.onboardingCompletedVersion"));
        moved.setValue("Brisvane.terminalFontSize", 16);
    }
    EXPECT_TRUE(QFileInfo::exists(config + "/Brisvane/Brisvane.conf"));
    EXPECT_FALSE(QFileInfo::exists(config + "/Unknown Organization")) << "the emptied placeholder folder stays";

    // An old file appearing again (an older version run once more) does not replace the new one.
    {
        QSettingsPreferences old(QSettingsPreferences::oldDefaultFilePath());
        old.setValue("Brisvane.terminalFontSize", 9);
    }
    EXPECT_EQ(QSettingsPreferences().doubleValue("Brisvane.terminalFontSize"), 16);
}

} // namespace
