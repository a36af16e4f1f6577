#include "app/Models/AnnouncementVoice.hpp"

#include "tests/app/AnnouncementPrinters.hpp"

#include <gtest/gtest.h>

using namespace brisvane;

TEST(AnnouncementVoice, RawValuesAndNames)
{
    QStringList raw;
    QStringList names;
    for (AnnouncementVoice voice : allAnnouncementVoices()) {
        raw << rawValue(voice);
        names << displayName(voice);
        EXPECT_EQ(announcementVoiceFromRawValue(rawValue(voice)), voice);
    }
    EXPECT_EQ(raw.join(u' '), "system zundamon tohokuZunko kuronoTakehiro aoyamaRyuusei kotoneNia");
    EXPECT_EQ(names.join(u' '),
              QString::fromUtf8("システム標準 ずんだもん 東北ずん子 玄野武宏 青山龍星 琴詠ニア"));
    EXPECT_EQ(announcementVoiceFromRawValue("ZUNDAMON"), std::nullopt);
    EXPECT_EQ(announcementVoiceFromRawValue(""), std::nullopt);
}

TEST(AnnouncementVoice, SelectableVoicesFollowBuildAndLocale)
{
    using V = AnnouncementVoice;
    EXPECT_EQ(selectableAnnouncementVoices(true, true), allAnnouncementVoices());
    EXPECT_EQ(selectableAnnouncementVoices(false, true),
              (QList<V>{V::system, V::zundamon, V::tohokuZunko, V::kuronoTakehiro}));
    EXPECT_EQ(selectableAnnouncementVoices(true, false), QList<V>{V::system});
    EXPECT_EQ(selectableAnnouncementVoices(false, false), QList<V>{V::system});
}
