#pragma once

// The text a terminal holds, for tests with or without a widget.

#include "terminal/engine/Terminal.hpp"

#include <string>

namespace brisvane::testing_support {

// Every line of the buffer, right-trimmed, joined by line feeds.
inline std::string screenText(corvix::Terminal& t)
{
    std::string text;
    for (int row = 0; row < t.buffer().lines().count(); ++row) {
        std::string line = t.translateBufferLineToString(t.buffer(), row, 0, t.cols);
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

} // namespace brisvane::testing_support
