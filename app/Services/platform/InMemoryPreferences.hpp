#pragma once

#include "app/Services/platform/Preferences.hpp"

#include <QHash>

namespace brisvane {

// `Preferences` held in memory, values kept exactly as given; for tests.
class InMemoryPreferences final : public Preferences {
public:
    bool contains(const QString& key) const override { return values_.contains(key); }
    QVariant value(const QString& key) const override { return values_.value(key); }
    void setValue(const QString& key, const QVariant& value) override { values_.insert(key, value); }
    void remove(const QString& key) override { values_.remove(key); }

private:
    QHash<QString, QVariant> values_;
};

} // namespace brisvane
