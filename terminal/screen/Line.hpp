#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvix {

// A piece of one row's text as text extraction produces it: the characters, the row they came
// from, the starting column and the length in characters. A line break is a fragment of its own
// (text "\n", location -1, length 1).
struct LineFragment {
    std::optional<std::string> text;
    int line = 0;
    int location = 0;
    int length = 0;
};

// The fragments of one visual or logical line of a selection, in order, and their total length.
struct Line {
    std::vector<LineFragment> fragments;
    int length = 0;

    void add(LineFragment fragment)
    {
        length += fragment.length;
        fragments.push_back(std::move(fragment));
    }

    // "[]" when empty, else "<count>/<length>: [" and each text followed by "][" (a lone line
    // feed written as backslash n).
    std::string debugDescription() const;
};

} // namespace corvix
