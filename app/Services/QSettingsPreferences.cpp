#include "app/Services/QSettingsPreferences.hpp"

#include <QSettings>

namespace brisvane {

QSettingsPreferences::QSettingsPreferences() : settings_(std::make_unique<QSettings>()) {}

QSettingsPreferences::QSettingsPreferences(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

QSettingsPreferences::~QSettingsPreferences() = default;

bool QSettingsPreferences::contains(const QString& key) const
{
    return settings_->contains(key);
}

QVariant QSettingsPreferences::value(const QString& key) const
{
    return settings_->value(key);
}

void QSettingsPreferences::setValue(const QString& key, const QVariant& value)
{
    settings_->setValue(key, value);
}

void QSettingsPreferences::remove(const QString& key)
{
    settings_->remove(key);
}

void QSettingsPreferences::sync()
{
    settings_->sync();
}

} // namespace brisvane
