#pragma once

#include <QList>
#include <QString>

namespace brisvane {

// How long a session must have worked before its completion is announced, or before its spoken
// summary is read. Stored as its seconds.
enum class AnnouncementThresholdPreset {
    instant,
    seconds30,
    minute1,
    minutes3,
    minutes5,
    minutes10,
};

double seconds(AnnouncementThresholdPreset preset);
// "即時", "30秒", ...: localised.
QString displayName(AnnouncementThresholdPreset preset);
// Every preset, shortest first: the pickers' order.
const QList<AnnouncementThresholdPreset>& thresholdPresetsForPicker();
// The preset closest to a stored number of seconds; a tie goes to the shorter one, and a value
// that is not a number gives `instant`.
AnnouncementThresholdPreset nearestThresholdPreset(double seconds);

} // namespace brisvane
