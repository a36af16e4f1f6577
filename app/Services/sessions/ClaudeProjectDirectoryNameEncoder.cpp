#include "app/Services/sessions/ClaudeProjectDirectoryNameEncoder.hpp"

#include <cstdint>
#include <cstdlib>

namespace brisvane::ClaudeProjectDirectoryNameEncoder {

namespace {

constexpr qsizetype kMaxNameLength = 200;

bool isAsciiLetterOrDigit(char16_t unit)
{
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9');
}

// The agent's 32-bit string hash: h = h * 31 + unit over the UTF-16 units, wrapping.
int32_t stringHash(const QString& text)
{
    uint32_t hash = 0;
    for (const QChar unit : text) hash = hash * 31u + unit.unicode();
    return static_cast<int32_t>(hash);
}

} // namespace

QString encode(const QString& cwd)
{
    QString name(cwd.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < cwd.size(); ++i) {
        const char16_t unit = cwd[i].unicode();
        name[i] = isAsciiLetterOrDigit(unit) ? QChar(unit) : QChar(u'-');
    }
    if (name.size() <= kMaxNameLength) return name;
    // The absolute value in 64 bits: the hash -2^31 has no 32-bit one.
    const int64_t hash = std::llabs(int64_t{stringHash(cwd)});
    return name.left(kMaxNameLength) + u'-' + QString::number(hash, 36);
}

} // namespace brisvane::ClaudeProjectDirectoryNameEncoder
