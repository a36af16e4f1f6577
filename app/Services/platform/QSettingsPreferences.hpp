#pragma once

#include "app/Services/platform/Preferences.hpp"

#include <memory>

class QSettings;

namespace brisvane {

// `Preferences` in a settings file through `QSettings`. The file keeps booleans and numbers as
// text; the typed readers of `Preferences` turn them back.
class QSettingsPreferences final : public Preferences {
public:
    // The application's own file, `defaultFilePath()`. A file left at `oldDefaultFilePath()` by
    // earlier versions is moved there first when there is none yet.
    QSettingsPreferences();
    // A settings file of one's choosing, in INI form.
    explicit QSettingsPreferences(const QString& filePath);
    ~QSettingsPreferences() override;

    bool contains(const QString& key) const override;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

    // "<config>/Brisvane/Brisvane.conf", <config> being XDG_CONFIG_HOME or ~/.config.
    static QString defaultFilePath();
    // Where Qt put the file while the application had no organisation name:
    // "<config>/Unknown Organization/Brisvane.conf".
    static QString oldDefaultFilePath();

    // Writes pending changes now (they are also written soon after a change and on destruction).
    void sync();

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace brisvane
