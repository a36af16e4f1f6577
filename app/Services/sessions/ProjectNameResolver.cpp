#include "app/Services/sessions/ProjectNameResolver.hpp"

#include <QCoreApplication>

namespace brisvane::ProjectNameResolver {

namespace {

std::optional<QString> nonBlank(const std::optional<QString>& text)
{
    if (!text) return std::nullopt;
    QString trimmed = text->trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    return trimmed;
}

// "/Users/a/app/" gives "app"; "/" and blanks give nothing.
std::optional<QString> lastPathComponent(const std::optional<QString>& path)
{
    std::optional<QString> text = nonBlank(path);
    if (!text) return std::nullopt;
    while (text->size() >= 2 && text->endsWith(u'/')) text->chop(1);
    if (*text == u"/") return std::nullopt;
    const QString component = text->mid(text->lastIndexOf(u'/') + 1);
    if (component.isEmpty()) return std::nullopt;
    return component;
}

} // namespace

QString unknownProjectName()
{
    return QCoreApplication::translate("ProjectNameResolver", "不明なプロジェクト");
}

ProjectDisplayName resolve(const std::optional<QString>& cwd, const std::optional<QString>& name)
{
    const std::optional<QString> trimmedName = nonBlank(name);
    if (const std::optional<QString> folder = lastPathComponent(cwd)) {
        std::optional<QString> secondary;
        if (trimmedName && *trimmedName != *folder) secondary = trimmedName;
        return {*folder, secondary, false};
    }
    return {trimmedName.value_or(unknownProjectName()), std::nullopt, true};
}

} // namespace brisvane::ProjectNameResolver
