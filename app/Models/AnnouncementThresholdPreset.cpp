#include "app/Models/AnnouncementThresholdPreset.hpp"

#include <QCoreApplication>

#include <cmath>

namespace brisvane {

double seconds(AnnouncementThresholdPreset preset)
{
    switch (preset) {
    case AnnouncementThresholdPreset::seconds30:
        return 30;
    case AnnouncementThresholdPreset::minute1:
        return 60;
    case AnnouncementThresholdPreset::minutes3:
        return 180;
    case AnnouncementThresholdPreset::minutes5:
        return 300;
    case AnnouncementThresholdPreset::minutes10:
        return 600;
    case AnnouncementThresholdPreset::instant:
        break;
    }
    return 0;
}

QString displayName(AnnouncementThresholdPreset preset)
{
    switch (preset) {
    case AnnouncementThresholdPreset::seconds30:
        return QCoreApplication::translate("AnnouncementThresholdPreset", "30秒");
    case AnnouncementThresholdPreset::minute1:
        return QCoreApplication::translate("AnnouncementThresholdPreset", "1分");
    case AnnouncementThresholdPreset::minutes3:
        return QCoreApplication::translate("AnnouncementThresholdPreset", "3分");
    case AnnouncementThresholdPreset::minutes5:
        return QCoreApplication::translate("AnnouncementThresholdPreset", "5分");
    case AnnouncementThresholdPreset::minutes10:
        return QCoreApplication::translate("AnnouncementThresholdPreset", "10分");
    case AnnouncementThresholdPreset::instant:
        break;
    }
    return QCoreApplication::translate("AnnouncementThresholdPreset", "即時");
}

const QList<AnnouncementThresholdPreset>& thresholdPresetsForPicker()
{
    static const QList<AnnouncementThresholdPreset> all{
        AnnouncementThresholdPreset::instant,  AnnouncementThresholdPreset::seconds30,
        AnnouncementThresholdPreset::minute1,  AnnouncementThresholdPreset::minutes3,
        AnnouncementThresholdPreset::minutes5, AnnouncementThresholdPreset::minutes10,
    };
    return all;
}

AnnouncementThresholdPreset nearestThresholdPreset(double value)
{
    // Only a strictly closer preset replaces the best so far; NaN is never closer.
    AnnouncementThresholdPreset best = AnnouncementThresholdPreset::instant;
    for (AnnouncementThresholdPreset preset : thresholdPresetsForPicker()) {
        if (std::abs(seconds(preset) - value) < std::abs(seconds(best) - value)) best = preset;
    }
    return best;
}

} // namespace brisvane
