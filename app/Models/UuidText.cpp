#include "app/Models/UuidText.hpp"

namespace brisvane::UuidText {

QString format(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parse(QStringView text)
{
    // QUuid alone would also take braces and answer a null id for garbage.
    if (text.size() != 36) return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hexDigit = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphen ? c != u'-' : !hexDigit) return std::nullopt;
    }
    return QUuid::fromString(text);
}

} // namespace brisvane::UuidText
