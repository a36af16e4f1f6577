#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace corvix {

class Terminal;

// The print path past the single printable letter that Terminal::printHandler writes itself:
// runs of printable bytes become cells of the active buffer (TerminalPrinter.cpp tells how).
// Owned by the terminal; it keeps what one run leaves to the next: a UTF-8 sequence cut by the
// end of a run, and the answers for scalars the run's width map leaves open.
class TerminalPrinter {
public:
    using Bytes = std::span<const uint8_t>;

    explicit TerminalPrinter(Terminal& terminal) : terminal_(terminal) {}
    TerminalPrinter(const TerminalPrinter&) = delete;
    TerminalPrinter& operator=(const TerminalPrinter&) = delete;

    // Out of line: printHandler's single-cell path then needs no register saves.
    [[gnu::noinline]] void handlePrint(Bytes data);
    // A run of printable ASCII (0x20..0x7E), with nothing put back and the terminal writing
    // plain ASCII (Terminal::plainAscii).
    [[gnu::noinline]] void printAsciiRun(Bytes data);
    // Nothing of a cut sequence waits for the next run.
    bool nothingPutBack() const { return readingBuffer.putbackCount == 0; }
    // The parser cleared its state: a cut sequence is dropped.
    void resetRun()
    {
        readingBuffer.putbackCount = 0;
        readingBuffer.idx = 0;
    }
    // The cluster table was collected: the kept answers may hold codes it handed out again.
    void forgetRunScalars() { runScalars_.fill({}); }
    // The buffer's last printed cell is still where it was printed (no resize since).
    bool lastPrintedCellValid() const;

private:
    // The bytes of the current print run and a UTF-8 sequence cut by the previous run.
    struct ReadingBuffer {
        std::array<uint8_t, 4> putbackBuffer{};
        int putbackCount = 0;
        Bytes rest;
        int idx = 0;
        int count = 0;
        uint8_t at(int i) const { return i < putbackCount ? putbackBuffer[size_t(i)] : rest[size_t(i - putbackCount)]; }
        void putback(uint8_t b);
        void done();
    } readingBuffer;

    [[gnu::noinline]] void printRun(Bytes data); // the general path, out of the short runs' way
    // Text that starts with a character of a cell of its own (a bullet, a box side, CJK), as
    // often as not the whole text, straight to the own-cell run, then the rest to printRun, as
    // printRun would take it; false when the run takes nothing. Out of line, out of the ASCII
    // runs' way.
    [[gnu::noinline]] bool printFromOwnCellRun(Bytes data);
    bool printWholeSequence(Bytes data, size_t at);
    // Prints the characters from `at` on that each start a cell of their own and fit on the
    // line; returns the bytes taken.
    size_t printOwnCellRun(Bytes data, size_t at);
    // A scalar the BMP width map leaves open, after a character of an own-cell run: its width
    // (0 when it does not take a cell of its own) and cell code. Out of line: the run's loop
    // keeps its registers.
    struct RunScalar {
        char32_t scalar = 0; // 0 never asks: a control ends the run first
        int32_t code = 0;
        int width = 0;
    };
    [[gnu::noinline]] RunScalar runScalar(char32_t scalar);
    // The cell code of a scalar past U+FFFF.
    int32_t singleScalarCode(char32_t scalar);
    bool printNextCharacter();
    void printByte(uint8_t byte);
    void printScalar(char32_t scalar);
    void printNewCell(char32_t scalar, int width);
    void joinWithPreviousCell(char32_t scalar, int width);
    void joinWithLeftNeighbour(char32_t scalar, int width);
    // The last printed cell, when the next scalar may still join it.
    bool lastPrintedCellJoinable() const;
    // The cell just before the cursor can still be joined and its text ends in a zero-width
    // joiner: what prints next continues its sequence.
    bool previousCellEndsInJoiner();

    Terminal& terminal_;
    // The run's answers for scalars its BMP width map leaves open (pictographs, other planes),
    // which it would otherwise look up in three tables and the cluster table at each emoji:
    // width after a character of the run, and cell code. Direct-mapped by the low bits;
    // emptied with the cluster table, whose codes it holds.
    std::array<RunScalar, 64> runScalars_{};
};

} // namespace corvix
