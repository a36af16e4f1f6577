#include "app/Models/AnnouncementThresholdPreset.hpp"

#include "tests/app/AnnouncementPrinters.hpp"

#include <gtest/gtest.h>

#include <limits>

using namespace brisvane;

TEST(AnnouncementThresholdPreset, NearestPresetPrefersTheShorterOnATie)
{
    using P = AnnouncementThresholdPreset;
    struct Case {
        double seconds;
        P preset;
    };
    const Case cases[] = {
        {0, P::instant},       {15, P::instant},     {15.001, P::seconds30}, {45, P::seconds30},
        {120, P::minute1},     {240, P::minutes3},   {450, P::minutes5},     {450.001, P::minutes10},
        {1000, P::minutes10},  {-5, P::instant},     {300, P::minutes5},
        {std::numeric_limits<double>::quiet_NaN(), P::instant},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nearestThresholdPreset(c.seconds), c.preset) << c.seconds;
    }
}

TEST(AnnouncementThresholdPreset, PickerOrderAndTexts)
{
    QList<double> secondsInOrder;
    QStringList names;
    for (AnnouncementThresholdPreset preset : thresholdPresetsForPicker()) {
        secondsInOrder << seconds(preset);
        names << displayName(preset);
        // Every preset is its own nearest: stored seconds load back as the same preset.
        EXPECT_EQ(nearestThresholdPreset(seconds(preset)), preset);
    }
    EXPECT_EQ(secondsInOrder, (QList<double>{0, 30, 60, 180, 300, 600}));
    EXPECT_EQ(names.join(u' '), QString::fromUtf8("即時 30秒 1分 3分 5分 10分"));
}
