#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace brisvane {

// The user's preferences, keyed "Brisvane.<name>". A backing store may hand values back in
// another form than they went in (the settings file keeps booleans and numbers as text), so
// readers go through the typed accessors below, which coerce the same way over every store.
// Used on the GUI thread.
class Preferences {
public:
    virtual ~Preferences() = default;

    // Whether anything is stored under the key (a stored empty list may read back as an invalid
    // value, yet it is there).
    virtual bool contains(const QString& key) const = 0;
    // The value as the store gives it back; invalid when absent.
    virtual QVariant value(const QString& key) const = 0;
    // Stores a boolean, a number, a string, a list of strings, a byte array or a date and time.
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;

    // Each gives nothing when the key is absent.
    // A number as itself and a boolean as 1 or 0; a text as the finite number it spells out, or 1
    // for "true" or "yes" in any letter case; anything else as 0.
    std::optional<double> doubleValue(const QString& key) const;
    // True exactly when `doubleValue` is not 0 ("YES", "true", "1", 2.5; not "no", "abc", 0).
    std::optional<bool> boolValue(const QString& key) const;
    // Only a stored text.
    std::optional<QString> stringValue(const QString& key) const;
    // Only a stored byte array.
    std::optional<QByteArray> dataValue(const QString& key) const;
    // A list of strings; also a single text (how a one-element list comes back from the settings
    // file) and an invalid value (how an empty one comes back).
    std::optional<QStringList> stringListValue(const QString& key) const;
};

} // namespace brisvane
