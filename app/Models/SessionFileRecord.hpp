#pragma once

#include "app/Models/SessionRecord.hpp"

#include <QString>

namespace brisvane {

// A session record with the key of the file it came from (the file name without ".json"). The
// session grid is keyed the same way, by the decimal text of the agent's pid.
struct SessionFileRecord {
    QString key;
    SessionRecord record;

    friend bool operator==(const SessionFileRecord&, const SessionFileRecord&) = default;
};

} // namespace brisvane
