#pragma once

#include <QString>

#include <optional>

namespace brisvane::LoginShell {

// The user's login shell: the password database's entry, else $SHELL, else "/bin/sh".
QString path();
// The rule of `path` over its two sources; blanks count as absent.
QString choose(const std::optional<QString>& passwordEntry, const std::optional<QString>& environmentShell);

} // namespace brisvane::LoginShell
