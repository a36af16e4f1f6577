#include "app/Services/voice/AnnouncementMessageFormatter.hpp"

#include "app/Models/ReadingDictionary.hpp"
#include "app/Services/voice/AnnouncementEngine.hpp"
#include "tests/app/AnnouncementPrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(AnnouncementMessageFormatter, ZundamonSpeaksJapaneseInHerOwnManner)
{
    const QString project = QStringLiteral("my_proj.v2");
    const Announcement englishCompletion{AnnouncementKind::completed, project,
                                         AnnouncementEngine::completedMessage(project, false)};
    const Announcement englishWaiting{AnnouncementKind::waitingForApproval, project,
                                      AnnouncementEngine::waitingForApprovalMessage(project, false)};

    using AnnouncementMessageFormatter::styled;
    EXPECT_EQ(styled(englishCompletion, AnnouncementVoice::zundamon),
              (Announcement{AnnouncementKind::completed, project, QString::fromUtf8("my_proj.v2のタスクが完了したのだ")}));
    EXPECT_EQ(styled(englishWaiting, AnnouncementVoice::zundamon),
              (Announcement{AnnouncementKind::waitingForApproval, project, QString::fromUtf8("my_proj.v2が確認待ちなのだ")}));
    for (AnnouncementVoice voice : allAnnouncementVoices()) {
        if (voice == AnnouncementVoice::zundamon) continue;
        EXPECT_EQ(styled(englishCompletion, voice), englishCompletion) << rawValue(voice).toStdString();
    }
}

TEST(AnnouncementMessageFormatter, ReplaceAllIsLiteralAndCaseSensitive)
{
    struct Case {
        const char* text;
        const char* search;
        const char* replacement;
        const char* result;
    };
    const Case cases[] = {
        // Inside other words and inside an appended summary alike.
        {"Brisvaneのタスクが完了しました。BrisvaneAppも直りました", "Brisvane", "ブリスベイン",
         "ブリスベインのタスクが完了しました。ブリスベインAppも直りました"},
        {"brisvane BRISVANE", "Brisvane", "ブリスベイン", "brisvane BRISVANE"},
        // Regular-expression characters are plain text.
        {"my_proj.v2 my_projXv2", "my_proj.v2", "マイプロ", "マイプロ my_projXv2"},
        // A replacement holding the search text is not searched again.
        {"aa", "a", "aa", "aaaa"},
        {"abc", "", "x", "abc"},
        {"", "a", "x", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnnouncementMessageFormatter::replaceAll(QString::fromUtf8(c.text), QString::fromUtf8(c.search),
                                                           QString::fromUtf8(c.replacement)),
                  QString::fromUtf8(c.result))
            << c.text << " / " << c.search;
    }
}

TEST(AnnouncementMessageFormatter, TheBuiltInReadingAppliesToAStyledMessage)
{
    const QString project = QStringLiteral("Brisvane");
    const Announcement styled = AnnouncementMessageFormatter::styled(
        {AnnouncementKind::completed, project, AnnouncementEngine::completedMessage(project, true)},
        AnnouncementVoice::zundamon);
    const std::optional<QString> reading = ReadingDictionary::builtIn().reading(styled.projectName);
    ASSERT_TRUE(reading);
    EXPECT_EQ(AnnouncementMessageFormatter::replaceAll(styled.message, project, *reading),
              QString::fromUtf8("ブリスベインのタスクが完了したのだ"));
}
