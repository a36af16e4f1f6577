#pragma once

namespace corvix {

// How a term is looked for. The defaults (no options) search case-insensitively, literally and
// not for whole words only.
struct SearchOptions {
    bool caseSensitive = false;
    bool regex = false;
    bool wholeWord = false;

    friend bool operator==(const SearchOptions&, const SearchOptions&) = default;
};

} // namespace corvix
