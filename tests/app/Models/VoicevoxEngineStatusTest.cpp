#include "app/Models/VoicevoxEngineStatus.hpp"

#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(VoicevoxEngineStatusTest, RawValuesAndTexts)
{
    struct Case {
        VoicevoxEngineStatus status;
        const char* raw;
        QString text;
    };
    const Case cases[] = {
        {VoicevoxEngineStatus::unknown, "unknown", QStringLiteral("確認中…")},
        {VoicevoxEngineStatus::connected, "connected", QStringLiteral("接続OK")},
        {VoicevoxEngineStatus::launching, "launching", QStringLiteral("起動中…")},
        {VoicevoxEngineStatus::notRunning, "notRunning", QStringLiteral("未起動")},
        {VoicevoxEngineStatus::notInstalled, "notInstalled", QStringLiteral("未インストール")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(rawValue(c.status), c.raw);
        EXPECT_EQ(voicevoxEngineStatusFromRawValue(QString::fromLatin1(c.raw)), c.status);
        EXPECT_EQ(displayName(c.status), c.text);
    }
    for (const char* other : {"", "Connected", "not_running", "connected "}) {
        EXPECT_EQ(voicevoxEngineStatusFromRawValue(QString::fromLatin1(other)), std::nullopt) << other;
    }
}
