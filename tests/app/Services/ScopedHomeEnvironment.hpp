#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace brisvane::test {

// Points HOME, XDG_DATA_HOME and XDG_CONFIG_HOME into a temporary folder for its lifetime, so that
// QStandardPaths and the scripts never see the real ones.
class ScopedHomeEnvironment {
public:
    explicit ScopedHomeEnvironment(const QString& home)
    {
        set("HOME", home);
        set("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
        set("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    }
    ~ScopedHomeEnvironment()
    {
        for (const auto& [name, value] : saved_) {
            if (value) {
                qputenv(name, *value);
            } else {
                qunsetenv(name);
            }
        }
    }
    ScopedHomeEnvironment(const ScopedHomeEnvironment&) = delete;
    ScopedHomeEnvironment& operator=(const ScopedHomeEnvironment&) = delete;

private:
    void set(const char* name, const QString& value)
    {
        saved_.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        qputenv(name, value.toUtf8());
    }

    QList<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

} // namespace brisvane::test
