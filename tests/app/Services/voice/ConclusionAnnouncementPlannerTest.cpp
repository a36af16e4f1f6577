#include "app/Services/voice/ConclusionAnnouncementPlanner.hpp"

#include "tests/app/AnnouncementPrinters.hpp"

#include <QSet>

#include <gtest/gtest.h>

using namespace brisvane;
using ConclusionAnnouncementPlanner::Plan;

namespace {

// The first tile's key is written in lower case: as written it sorts after the second's ("a" > "B"),
// in the upper-case form before it.
const QUuid kFirstTile = QUuid::fromString(QStringLiteral("AAAAAAAA-0000-4000-8000-000000000001"));
const QUuid kSecondTile = QUuid::fromString(QStringLiteral("BBBBBBBB-0000-4000-8000-000000000002"));
const QUuid kThirdTile = QUuid::fromString(QStringLiteral("CCCCCCCC-0000-4000-8000-000000000003"));
const QString kFirstKey = QStringLiteral("t:aaaaaaaa-0000-4000-8000-000000000001");
const QString kSecondKey = QStringLiteral("t:BBBBBBBB-0000-4000-8000-000000000002");
const QString kThirdKey = QStringLiteral("t:CCCCCCCC-0000-4000-8000-000000000003");

AnnouncementResult completion(const QString& key, std::optional<double> busyDuration, const char* project)
{
    return {key, {AnnouncementKind::completed, project, QString::fromUtf8(project) + "done"}, busyDuration};
}

AnnouncementResult waiting(const QString& key, const char* project)
{
    return {key, {AnnouncementKind::waitingForApproval, project, QString::fromUtf8(project) + "waits"}, std::nullopt};
}

// Answers from fixed tables and notes whom it was asked about.
struct Tiles {
    QSet<QUuid> readingOff;
    QMap<QUuid, QString> summaries;
    mutable QList<QUuid> askedReading;
    mutable QList<QUuid> askedText;

    Plan plan(const QList<AnnouncementResult>& results, double threshold = 180) const
    {
        return ConclusionAnnouncementPlanner::plan(
            results, threshold,
            [this](const QUuid& tile) {
                askedReading.append(tile);
                return !readingOff.contains(tile);
            },
            [this](const QUuid& tile) -> std::optional<QString> {
                askedText.append(tile);
                if (!summaries.contains(tile)) return std::nullopt;
                return summaries.value(tile);
            });
    }
};

} // namespace

TEST(ConclusionAnnouncementPlanner, Plans)
{
    const AnnouncementResult first = completion(kFirstKey, 200, "first");
    const AnnouncementResult second = completion(kSecondKey, 200, "second");
    struct Case {
        const char* name;
        QList<AnnouncementResult> results;
        QMap<QUuid, QString> summaries;
        Plan plan;
    };
    const Case cases[] = {
        {"no results", {}, {}, {}},
        {"waiting announcements are spoken as they are",
         {waiting(kFirstKey, "first"), waiting(kSecondKey, "second")},
         {{kFirstTile, "summary"}},
         {{waiting(kFirstKey, "first").announcement, waiting(kSecondKey, "second").announcement}, {}, {}, 0}},
        {"the tile first in upper-case UUID order wins when it has a summary",
         {second, first},
         {{kFirstTile, "first summary"}, {kSecondTile, "second summary"}},
         {{}, first.announcement, QStringLiteral("first summary"), 1}},
        {"a later tile with the only summary wins",
         {first, second},
         {{kSecondTile, "second summary"}},
         {{}, second.announcement, QStringLiteral("second summary"), 1}},
        {"without any summary the first tile still wins",
         {second, first},
         {},
         {{}, first.announcement, std::nullopt, 1}},
        {"exactly the threshold qualifies, a moment below does not",
         {completion(kFirstKey, 180, "first"), completion(kSecondKey, 179.999, "second")},
         {{kSecondTile, "second summary"}},
         {{completion(kSecondKey, 179.999, "second").announcement}, completion(kFirstKey, 180, "first").announcement,
          std::nullopt, 0}},
        {"keys that are not a tile's, and completions without a busy time, are spoken as they are",
         {completion("22207", 200, "pid"), completion("t:not-a-uuid", 200, "bad"),
          completion("t:{AAAAAAAA-0000-4000-8000-000000000001}", 200, "braces"),
          completion("T:AAAAAAAA-0000-4000-8000-000000000001", 200, "upper"),
          completion(kFirstKey, std::nullopt, "first")},
         {{kFirstTile, "summary"}},
         {{completion("22207", 200, "pid").announcement, completion("t:not-a-uuid", 200, "bad").announcement,
           completion("t:{AAAAAAAA-0000-4000-8000-000000000001}", 200, "braces").announcement,
           completion("T:AAAAAAAA-0000-4000-8000-000000000001", 200, "upper").announcement,
           completion(kFirstKey, std::nullopt, "first").announcement},
          {}, {}, 0}},
        {"plain announcements keep their order around the eligible ones",
         {waiting(kThirdKey, "third"), second, completion("22207", 10, "pid"), first},
         {{kSecondTile, "second summary"}},
         {{waiting(kThirdKey, "third").announcement, completion("22207", 10, "pid").announcement}, second.announcement,
          QStringLiteral("second summary"), 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tiles tiles;
        tiles.summaries = c.summaries;
        EXPECT_EQ(tiles.plan(c.results), c.plan);
    }
}

TEST(ConclusionAnnouncementPlanner, NoSummaryIsAskedForATileWhoseReadingIsOff)
{
    Tiles tiles;
    tiles.readingOff = {kFirstTile};
    tiles.summaries = {{kFirstTile, "first summary"}, {kThirdTile, "third summary"}};
    const QList<AnnouncementResult> results{completion(kFirstKey, 200, "first"), waiting(kSecondKey, "second"),
                                            completion(kThirdKey, 10, "third")};

    EXPECT_EQ(tiles.plan(results),
              (Plan{{results[0].announcement, results[1].announcement, results[2].announcement}, {}, {}, 0}));
    // Only the completion above the threshold was a candidate, and its reading is off.
    EXPECT_EQ(tiles.askedReading, QList<QUuid>{kFirstTile});
    EXPECT_EQ(tiles.askedText, QList<QUuid>{});
}
