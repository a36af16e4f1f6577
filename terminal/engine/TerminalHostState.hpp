#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace corvix {

// What the child told the terminal about itself: titles (OSC 0-2, with the XTWINOPS stacks),
// the working directory (OSC 7) and document (OSC 6).
struct TerminalHostState {
    // Bound for the title stacks a child may grow.
    static constexpr size_t kMaxTitleStackDepth = 10;

    std::string terminalTitle;
    std::string iconTitle;
    std::vector<std::string> terminalTitleStack;
    std::vector<std::string> terminalIconStack;
    std::optional<std::string> hostCurrentDirectory;
    std::optional<std::string> hostCurrentDocument;
};

} // namespace corvix
