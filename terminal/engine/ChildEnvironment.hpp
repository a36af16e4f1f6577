#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvix {

// The environment handed to a child started on a terminal, as NAME=value entries: the terminal
// type, colour support and language, then a few identity variables of the host (LOGNAME, USER,
// DISPLAY, LC_TYPE, HOME) when the host defines them. Nothing else of the host is passed on.
// Reads the host environment from `environ`.
std::vector<std::string> childEnvironmentVariables(std::optional<std::string> termName = std::nullopt,
                                                   bool trueColor = true);

// The same over a given host environment (NAME=value entries, null-terminated like `environ`).
std::vector<std::string> childEnvironmentVariables(std::optional<std::string> termName, bool trueColor,
                                                   const char* const* hostEnvironment);

} // namespace corvix
