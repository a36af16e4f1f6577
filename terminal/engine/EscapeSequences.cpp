#include "terminal/engine/EscapeSequences.hpp"

#include <mutex>
#include <string_view>
#include <utility>

namespace corvix {

namespace {

std::vector<uint8_t> bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

// The paste markers are the only mutable entries; several terminals (and the headless
// terminal's own queue) may read them, so they sit behind a lock.
struct PasteMarkers {
    std::mutex lock;
    std::vector<uint8_t> start = bytes("\x1b[200~");
    std::vector<uint8_t> end = bytes("\x1b[201~");
};

PasteMarkers& pasteMarkers()
{
    static PasteMarkers markers;
    return markers;
}

} // namespace

std::vector<uint8_t> EscapeSequences::cmdNewLine() { return bytes("\n"); }
std::vector<uint8_t> EscapeSequences::cmdRet() { return bytes("\r"); }
std::vector<uint8_t> EscapeSequences::cmdEsc() { return bytes("\x1b"); }
std::vector<uint8_t> EscapeSequences::cmdDel() { return bytes("\x7f"); }
std::vector<uint8_t> EscapeSequences::cmdDelKey() { return bytes("\x1b[3~"); }
std::vector<uint8_t> EscapeSequences::moveUpApp() { return bytes("\x1bOA"); }
std::vector<uint8_t> EscapeSequences::moveUpNormal() { return bytes("\x1b[A"); }
std::vector<uint8_t> EscapeSequences::moveDownApp() { return bytes("\x1bOB"); }
std::vector<uint8_t> EscapeSequences::moveDownNormal() { return bytes("\x1b[B"); }
std::vector<uint8_t> EscapeSequences::moveLeftApp() { return bytes("\x1bOD"); }
std::vector<uint8_t> EscapeSequences::moveLeftNormal() { return bytes("\x1b[D"); }
std::vector<uint8_t> EscapeSequences::moveRightApp() { return bytes("\x1bOC"); }
std::vector<uint8_t> EscapeSequences::moveRightNormal() { return bytes("\x1b[C"); }
std::vector<uint8_t> EscapeSequences::moveHomeApp() { return bytes("\x1bOH"); }
std::vector<uint8_t> EscapeSequences::moveHomeNormal() { return bytes("\x1b[H"); }
std::vector<uint8_t> EscapeSequences::moveEndApp() { return bytes("\x1bOF"); }
std::vector<uint8_t> EscapeSequences::moveEndNormal() { return bytes("\x1b[F"); }
std::vector<uint8_t> EscapeSequences::cmdTab() { return bytes("\t"); }
std::vector<uint8_t> EscapeSequences::cmdBackTab() { return bytes("\x1b[Z"); }
std::vector<uint8_t> EscapeSequences::cmdPageUp() { return bytes("\x1b[5~"); }
std::vector<uint8_t> EscapeSequences::cmdPageDown() { return bytes("\x1b[6~"); }
std::vector<uint8_t> EscapeSequences::cmdInsert() { return bytes("\x1b[2~"); }
std::vector<uint8_t> EscapeSequences::emacsBack() { return bytes("\x1b" "b"); }
std::vector<uint8_t> EscapeSequences::emacsForward() { return bytes("\x1b" "f"); }
std::vector<uint8_t> EscapeSequences::controlLeft() { return bytes("\x1b[1;5D"); }
std::vector<uint8_t> EscapeSequences::controlRight() { return bytes("\x1b[1;5C"); }

std::vector<std::vector<uint8_t>> EscapeSequences::cmdF()
{
    // F5 skips 16 and F11 skips 22: the historical VT220 numbering.
    return {bytes("\x1bOP"),    bytes("\x1bOQ"),    bytes("\x1bOR"),    bytes("\x1bOS"),
            bytes("\x1b[15~"),  bytes("\x1b[17~"),  bytes("\x1b[18~"),  bytes("\x1b[19~"),
            bytes("\x1b[20~"),  bytes("\x1b[21~"),  bytes("\x1b[23~"),  bytes("\x1b[24~")};
}

std::vector<uint8_t> EscapeSequences::bracketedPasteStart()
{
    auto& m = pasteMarkers();
    std::lock_guard guard(m.lock);
    return m.start;
}

std::vector<uint8_t> EscapeSequences::bracketedPasteEnd()
{
    auto& m = pasteMarkers();
    std::lock_guard guard(m.lock);
    return m.end;
}

void EscapeSequences::setBracketedPasteStart(std::vector<uint8_t> bytes)
{
    auto& m = pasteMarkers();
    std::lock_guard guard(m.lock);
    m.start = std::move(bytes);
}

void EscapeSequences::setBracketedPasteEnd(std::vector<uint8_t> bytes)
{
    auto& m = pasteMarkers();
    std::lock_guard guard(m.lock);
    m.end = std::move(bytes);
}

} // namespace corvix
