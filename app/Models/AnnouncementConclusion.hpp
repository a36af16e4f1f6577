#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace brisvane {

// The latest spoken summary of one agent process, ready to be read.
struct AnnouncementConclusion {
    int32_t pid = 0;
    // Trimmed, never empty.
    QString text;
    QDateTime capturedAt;

    friend bool operator==(const AnnouncementConclusion&, const AnnouncementConclusion&) = default;
};

} // namespace brisvane
