#pragma once

#include "terminal/engine/TerminalSelection.hpp"

#include <algorithm>
#include <memory>
#include <vector>

namespace corvix {

// The selections over the terminal's rows, held weakly: the engine tells them when rows move
// under them, and forgets each once its owner lets it go.
class SelectionRegistry {
public:
    // A selection registered twice is kept once.
    void registerSelection(const std::shared_ptr<TerminalSelection>& selection)
    {
        std::erase_if(selections_, [](const std::weak_ptr<TerminalSelection>& w) { return w.expired(); });
        for (auto& weak : selections_)
            if (weak.lock() == selection) return;
        selections_.push_back(selection);
    }
    // Calls `fn` for every registered selection that still exists.
    template <typename Fn>
    void forEachSelection(Fn&& fn)
    {
        for (auto& weak : selections_)
            if (auto s = weak.lock()) fn(*s);
    }

private:
    std::vector<std::weak_ptr<TerminalSelection>> selections_;
};

} // namespace corvix
