#include "app/Services/platform/Preferences.hpp"

#include <QLocale>

#include <cmath>

namespace brisvane {

namespace {

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// What a text says as a number: the number it spells out in the C locale (surrounding blanks
// allowed), 1 for "true" or "yes" in any letter case (the settings file gives a stored boolean
// back as "true"), otherwise 0.
double numberFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0 || trimmed.compare(u"yes", Qt::CaseInsensitive) == 0) {
        return 1;
    }
    bool ok = false;
    const double number = QLocale::c().toDouble(trimmed, &ok);
    return ok && std::isfinite(number) ? number : 0;
}

} // namespace

std::optional<double> Preferences::doubleValue(const QString& key) const
{
    if (!contains(key)) return std::nullopt;
    const QVariant stored = value(key);
    if (stored.typeId() == QMetaType::Bool) return stored.toBool() ? 1.0 : 0.0;
    if (isNumber(stored)) return stored.toDouble();
    if (stored.typeId() == QMetaType::QString) return numberFromText(stored.toString());
    return 0.0;
}

std::optional<bool> Preferences::boolValue(const QString& key) const
{
    const std::optional<double> number = doubleValue(key);
    if (!number) return std::nullopt;
    return *number != 0.0;
}

std::optional<QString> Preferences::stringValue(const QString& key) const
{
    const QVariant stored = value(key);
    if (stored.typeId() != QMetaType::QString) return std::nullopt;
    return stored.toString();
}

std::optional<QByteArray> Preferences::dataValue(const QString& key) const
{
    const QVariant stored = value(key);
    if (stored.typeId() != QMetaType::QByteArray) return std::nullopt;
    return stored.toByteArray();
}

std::optional<QStringList> Preferences::stringListValue(const QString& key) const
{
    if (!contains(key)) return std::nullopt;
    const QVariant stored = value(key);
    switch (stored.typeId()) {
    case QMetaType::QStringList:
        return stored.toStringList();
    case QMetaType::QString:
        return QStringList{stored.toString()};
    case QMetaType::UnknownType:
        return QStringList{};
    default:
        return std::nullopt;
    }
}

} // namespace brisvane
