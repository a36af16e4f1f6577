#pragma once

// The screen of the full-redraw benchmarks: 200x60 cells of mixed text.

#include <string>

namespace corvix::bench {

// Colours, bold, underline, CJK and box drawing on every row; a row's text ends within 10
// columns past `width`. Row `first` is written first.
inline std::string mixedScreen(int rows = 60, int width = 190, int first = 0)
{
    std::string s;
    for (int row = first; row < first + rows; row++) {
        if (row != first) s += "\r\n";
        int col = 0;
        int i = row;
        while (col < width) {
            switch (i++ % 6) {
            case 0: s += "\x1b[38;5;" + std::to_string(16 + (i * 7) % 216) + "mcolour "; col += 7; break;
            case 1: s += "\x1b[1;31mbold\x1b[0m "; col += 5; break;
            case 2: s += "\x1b[4munder\x1b[24m "; col += 6; break;
            case 3: s += "\xe6\xbc\xa2\xe5\xad\x97 "; col += 5; break;
            case 4: s += "\xe2\x94\x8c\xe2\x94\x80\xe2\x94\x90 "; col += 4; break;
            case 5: s += "\x1b[48;2;20;40;60mplain text\x1b[0m "; col += 11; break;
            }
        }
    }
    return s;
}

} // namespace corvix::bench
