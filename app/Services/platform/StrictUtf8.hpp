#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace brisvane::StrictUtf8 {

// The bytes as text, or nothing when they are not valid UTF-8 as a whole (a sequence cut at
// either end included).
std::optional<QString> decode(QByteArrayView bytes);

} // namespace brisvane::StrictUtf8
