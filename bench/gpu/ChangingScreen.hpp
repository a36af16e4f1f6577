#pragma once

// The mixed screen of the view benchmarks on 200x60 and 80x24, and what changes between two
// frames: nothing, one row, or a scroll of one line at the bottom of a full screen.

#include "view/MixedScreen.hpp"

#include "terminal/view/TerminalView.hpp"

#include <cmath>
#include <ctime>
#include <string>

namespace corvix::bench {

// The calling thread's or the whole process's CPU time in milliseconds (`clock` is
// CLOCK_THREAD_CPUTIME_ID or CLOCK_PROCESS_CPUTIME_ID).
inline double cpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

enum class Change { none, oneRow, scroll };

struct GridSize {
    int cols, rows;
};
inline constexpr GridSize kGridSizes[] = {{200, 60}, {80, 24}};

inline const char* changeName(Change change)
{
    switch (change) {
    case Change::none: return "static";
    case Change::oneRow: return "one row changed";
    case Change::scroll: return "scroll of one line";
    }
    return "";
}

// A view showing the mixed screen, and what changes between two frames.
struct ChangingScreen {
    static constexpr int kChangedRow = 10;

    GridSize size;
    Change change;
    TerminalView view;
    int frames = 0;

    ChangingScreen(GridSize size, Change change)
        : size(size), change(change),
          view(QRect(0, 0, size.cols * 9, size.rows * 18), QFont(QStringLiteral("DejaVu Sans Mono"), 10))
    {
        view.resizeGrid(size.cols, size.rows);
        view.feed(mixedScreen(size.rows, size.cols - 10));
        view.updateDisplay(false);
    }

    // Shown, the view fits the terminal to its window: back to the benchmark's grid, full again.
    // False when the grid did not take.
    bool refit()
    {
        view.resizeGrid(size.cols, size.rows);
        view.feed("\x1b[H\x1b[2J" + mixedScreen(size.rows, size.cols - 10));
        view.updateDisplay(false);
        return onGrid();
    }
    bool onGrid() { return view.getTerminal().cols == size.cols && view.getTerminal().rows == size.rows; }

    // Applies the change of one frame; the view rectangle the CPU path paints for it.
    QRect next()
    {
        ++frames;
        switch (change) {
        case Change::none: break;
        case Change::oneRow:
            view.feed("\x1b[" + std::to_string(kChangedRow + 1) + ";1H" + (frames % 2 ? "x" : "y"));
            return QRect(0, int(kChangedRow * view.cellSize().height()), view.width(),
                         int(std::ceil(view.cellSize().height())));
        case Change::scroll:
            view.feed("\x1b[" + std::to_string(size.rows) + ";1H\r\n" + mixedScreen(1, size.cols - 10, frames));
            break;
        }
        return view.rect();
    }
    int yDisp() { return view.getTerminal().buffer().yDisp(); }

    // "<path>, <change>, <cols>x<rows>", the benchmark's label.
    std::string label(const char* path) const
    {
        return std::string(path) + ", " + changeName(change) + ", " + std::to_string(size.cols) + "x" +
               std::to_string(size.rows);
    }
};

} // namespace corvix::bench
