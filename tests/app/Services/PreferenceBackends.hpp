#pragma once

// The two kinds of `Preferences`, behind one face so that a test can run against both, and
// restart them: the in-memory one keeps its values, the settings file is read back from disk as a
// new process would read it.

#include "app/Services/platform/InMemoryPreferences.hpp"
#include "app/Services/platform/QSettingsPreferences.hpp"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include <gtest/gtest.h>

namespace brisvane::test {

class InMemoryBackend {
public:
    Preferences& preferences() { return preferences_; }
    void restart() {}

private:
    InMemoryPreferences preferences_;
};

class QSettingsBackend {
public:
    QSettingsBackend() { open(); }

    Preferences& preferences() { return *preferences_; }
    // QSettings keeps what it read or wrote in a per-process cache, keyed by file: read a copy
    // under a new name so that the values come from the file's text.
    void restart()
    {
        preferences_->sync();
        preferences_.reset();
        const QString previous = path();
        ++generation_;
        // Nothing ever stored: no file, as after a first start.
        if (QFile::exists(previous)) {
            ASSERT_TRUE(QFile::copy(previous, path()));
        }
        open();
    }
    QString path() const { return dir_.filePath(QStringLiteral("Brisvane-%1.conf").arg(generation_)); }

private:
    void open() { preferences_ = std::make_unique<QSettingsPreferences>(path()); }

    QTemporaryDir dir_;
    int generation_ = 0;
    std::unique_ptr<QSettingsPreferences> preferences_;
};

using PreferenceBackendTypes = testing::Types<InMemoryBackend, QSettingsBackend>;

// Names the typed tests' instances "InMemoryBackend" and "QSettingsBackend".
struct PreferenceBackendNames {
    template <typename T>
    static std::string GetName(int)
    {
        return std::is_same_v<T, InMemoryBackend> ? "InMemory" : "QSettings";
    }
};

} // namespace brisvane::test
