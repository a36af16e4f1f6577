#include "app/Models/StrictJson.hpp"

#include <QCborValue>

namespace brisvane::StrictJson {

bool isAbsent(const QJsonValue& value)
{
    return value.isUndefined() || value.isNull();
}

std::optional<int64_t> integer(const QJsonValue& value)
{
    if (!value.isDouble()) return std::nullopt;
    // The parser keeps every whole number that fits in 64 bits as an integer; what stays a
    // double is a fraction or out of range.
    const QCborValue number = QCborValue::fromJsonValue(value);
    if (!number.isInteger()) return std::nullopt;
    return number.toInteger();
}

bool read(const QJsonValue& value, std::optional<int64_t>& field)
{
    if (isAbsent(value)) return true;
    field = integer(value);
    return field.has_value();
}

bool read(const QJsonValue& value, std::optional<double>& field)
{
    if (isAbsent(value)) return true;
    if (!value.isDouble()) return false;
    field = value.toDouble();
    return true;
}

bool read(const QJsonValue& value, std::optional<QString>& field)
{
    if (isAbsent(value)) return true;
    if (!value.isString()) return false;
    field = value.toString();
    return true;
}

} // namespace brisvane::StrictJson
