#include "app/Services/sessions/SessionStateMapper.hpp"

namespace brisvane::SessionStateMapper {

SessionState map(const std::optional<SessionRecord>& record, bool fileExists)
{
    if (!fileExists) return SessionState::terminated();
    if (!record || !record->status) return SessionState::unknown();
    const QString& status = *record->status;
    if (status == u"idle") return SessionState::idle();
    if (status == u"busy") return SessionState::busy();
    if (status == u"waiting") return SessionState::waiting(record->waitingFor);
    return SessionState::unknown();
}

} // namespace brisvane::SessionStateMapper
