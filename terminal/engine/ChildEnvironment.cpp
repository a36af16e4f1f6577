#include "terminal/engine/ChildEnvironment.hpp"

#include <string_view>

#include <unistd.h>

namespace corvix {

std::vector<std::string> childEnvironmentVariables(std::optional<std::string> termName, bool trueColor)
{
    return childEnvironmentVariables(std::move(termName), trueColor, environ);
}

std::vector<std::string> childEnvironmentVariables(std::optional<std::string> termName, bool trueColor,
                                                   const char* const* hostEnvironment)
{
    std::vector<std::string> result;
    result.push_back("TERM=" + termName.value_or("xterm-256color"));
    if (trueColor) result.emplace_back("COLORTERM=truecolor");
    result.emplace_back("LANG=en_US.UTF-8");

    // LC_TYPE (not LC_CTYPE) is the established name here; the locale itself comes from LANG.
    static constexpr std::string_view kCarried[] = {"LOGNAME", "USER", "DISPLAY", "LC_TYPE", "HOME"};
    for (std::string_view name : kCarried) {
        if (!hostEnvironment) break;
        // The first definition wins, as with getenv.
        for (const char* const* entry = hostEnvironment; *entry; ++entry) {
            std::string_view text(*entry);
            if (text.size() > name.size() && text.substr(0, name.size()) == name && text[name.size()] == '=') {
                result.emplace_back(text);
                break;
            }
        }
    }
    return result;
}

} // namespace corvix
