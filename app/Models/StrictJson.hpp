#pragma once

#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>

// Strict reading of optional fields for decoders of whole files, where a value of the wrong type
// makes the file undecodable rather than silently absent.
namespace brisvane::StrictJson {

// A field that is missing from its object, or null.
bool isAbsent(const QJsonValue& value);
// A whole number within the signed 64-bit range (1.0 and 1e3 count); nothing for anything else,
// a fraction, a number beyond the range and null included.
std::optional<int64_t> integer(const QJsonValue& value);

// Each reads an optional field: missing or null leaves `field` empty; false when the value is
// of another type. A double field takes any number, integers included.
bool read(const QJsonValue& value, std::optional<int64_t>& field);
bool read(const QJsonValue& value, std::optional<double>& field);
bool read(const QJsonValue& value, std::optional<QString>& field);

} // namespace brisvane::StrictJson
