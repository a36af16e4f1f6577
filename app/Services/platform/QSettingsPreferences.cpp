#include "app/Services/platform/QSettingsPreferences.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>

namespace brisvane {

namespace {

Q_LOGGING_CATEGORY(lcQSettingsPreferences, "brisvane.QSettingsPreferences")

QString configFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

// Nobody loses their preferences to the new place: an old file moves over unless the new place
// already has one (which then wins).
QString movedFromOldPlace()
{
    const QString path = QSettingsPreferences::defaultFilePath();
    const QString old = QSettingsPreferences::oldDefaultFilePath();
    if (QFileInfo::exists(path) || !QFileInfo::exists(old)) return path;
    if (!QDir().mkpath(QFileInfo(path).path()) || !QFile::rename(old, path)) {
        qCWarning(lcQSettingsPreferences).noquote() << "設定ファイルを移せません:" << old << "->" << path;
        return path;
    }
    // The placeholder folder goes too once it holds nothing else.
    QDir().rmdir(QFileInfo(old).path());
    return path;
}

} // namespace

QSettingsPreferences::QSettingsPreferences() : QSettingsPreferences(movedFromOldPlace()) {}

QString QSettingsPreferences::defaultFilePath()
{
    return configFolder() + QStringLiteral("/Brisvane/Brisvane.conf");
}

QString QSettingsPreferences::oldDefaultFilePath()
{
    return configFolder() + QStringLiteral("/Unknown Organization/Brisvane.conf");
}

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
