#pragma once

#include <QString>
#include <QStringView>
#include <QUuid>

#include <optional>

namespace brisvane::UuidText {

// "E621E1F8-C36C-495A-93FC-0C247A3E6E5F": upper case, hyphenated, no braces. Stored ids and
// snapshot keys use this form, and the spoken-summary planner sorts by it.
QString format(const QUuid& id);
// The form above in either letter case, and nothing else: exactly 36 characters with the hyphens
// in place, no braces.
std::optional<QUuid> parse(QStringView text);

} // namespace brisvane::UuidText
