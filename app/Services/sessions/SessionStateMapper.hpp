#pragma once

#include "app/Models/SessionRecord.hpp"
#include "app/Models/SessionState.hpp"

#include <optional>

namespace brisvane::SessionStateMapper {

// A session's state: terminated when its file is gone; otherwise from the record's status
// ("idle", "busy", "waiting" with its `waitingFor`, matched exactly), unknown for anything else,
// for a record without a status and for no record.
SessionState map(const std::optional<SessionRecord>& record, bool fileExists);

} // namespace brisvane::SessionStateMapper
