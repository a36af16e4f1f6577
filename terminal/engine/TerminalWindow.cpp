// Window operations (CSI Ps ; Ps ; Ps t): the engine owns no window, so it hands each request to
// the delegate, answers the size reports itself when the delegate does not, and keeps the title
// stacks.
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalReports.hpp"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace corvix {

namespace {

bool parsAre(Terminal::Params pars, std::initializer_list<int32_t> values)
{
    return std::equal(pars.begin(), pars.end(), values.begin(), values.end());
}

// A child may push without ever popping: the oldest entries give way.
void pushBounded(std::vector<std::string>& stack, const std::string& title)
{
    if (stack.size() >= Terminal::kMaxTitleStackDepth) stack.erase(stack.begin());
    stack.push_back(title);
}

} // namespace

void TerminalReports::csit(Params pars, Bytes collect)
{
    if (collect.empty()) {
        cmdWindowOptions(pars);
        return;
    }
    if (collect.size() == 1 && collect[0] == '>') {
        for (int32_t p : pars) {
            switch (p) {
            case 0: terminal_.xtermTitleSetHex = true; break;
            case 1: terminal_.xtermTitleQueryHex = true; break;
            case 2: terminal_.xtermTitleSetUtf = true; break;
            case 3: terminal_.xtermTitleQueryUtf = true; break;
            default: break;
            }
        }
        return;
    }
    terminal_.logInfo("Unhandled csiT " + terminal_.decimalList(collect));
}

void TerminalReports::cmdWindowOptions(Params pars)
{
    if (!terminal_.tdel) return;
    using Kind = WindowManipulationCommand::Kind;

    auto command = [&](Kind kind, int a = 0, int b = 0) { terminal_.tdel->windowCommand(terminal_, {kind, a, b}); };
    // Sizes reach the host as given, but never beyond what a screen can hold: 0 (also an omitted
    // value) passes through, since a host reads it as "keep this dimension".
    auto cells = [](int32_t v) { return std::clamp(int(v), 0, Terminal::kMaxWindowCells); };
    auto pixels = [](int32_t v) { return std::clamp(int(v), 0, Terminal::kMaxWindowPixels); };

    // The delegate's bytes win; otherwise the report is built from the terminal's size.
    auto report = [&](Kind kind, char code, bool inPixels) {
        if (auto reply = terminal_.tdel->windowCommand(terminal_, {kind, 0, 0})) {
            terminal_.sendResponse(std::span<const uint8_t>(*reply));
            return;
        }
        int64_t height = terminal_.rows;
        int64_t width = terminal_.cols;
        if (inPixels) {
            auto cell = terminal_.tdel ? terminal_.tdel->cellSizeInPixels(terminal_) : std::nullopt;
            const int64_t cellWidth = cell ? cell->first : 10;
            const int64_t cellHeight = cell ? cell->second : 16;
            height = code == '6' ? cellHeight : terminal_.rows * cellHeight;
            width = code == '6' ? cellWidth : terminal_.cols * cellWidth;
        }
        terminal_.sendResponse(std::string(terminal_.replyCsi()) + code + ";" + std::to_string(height) + ";"
                               + std::to_string(width) + "t");
    };

    auto popTitle = [&] {
        if (terminal_.terminalTitleStack.empty()) return;
        terminal_.terminalTitle = std::move(terminal_.terminalTitleStack.back());
        terminal_.terminalTitleStack.pop_back();
        if (terminal_.tdel) terminal_.tdel->setTerminalTitle(terminal_, terminal_.terminalTitle);
    };
    auto popIcon = [&] {
        if (terminal_.terminalIconStack.empty()) return;
        terminal_.iconTitle = std::move(terminal_.terminalIconStack.back());
        terminal_.terminalIconStack.pop_back();
        if (terminal_.tdel) terminal_.tdel->setTerminalIconTitle(terminal_, terminal_.iconTitle);
    };

    const bool three = pars.size() == 3;
    if (parsAre(pars, {1})) {
        command(Kind::deiconifyWindow);
    } else if (parsAre(pars, {2})) {
        command(Kind::iconifyWindow);
    } else if (three && pars[0] == 3) {
        command(Kind::moveWindowTo, pars[1], pars[2]);
    } else if (three && pars[0] == 4) {
        command(Kind::resizeWindowTo, pixels(pars[2]), pixels(pars[1]));
    } else if (parsAre(pars, {5})) {
        command(Kind::bringToFront);
    } else if (parsAre(pars, {6})) {
        command(Kind::sendToBack);
    } else if (parsAre(pars, {7})) {
        command(Kind::refreshWindow);
    } else if (three && pars[0] == 8) {
        command(Kind::resizeTerminal, cells(pars[2]), cells(pars[1]));
    } else if (parsAre(pars, {9, 0})) {
        command(Kind::restoreMaximizedWindow);
    } else if (parsAre(pars, {9, 1})) {
        command(Kind::maximizeWindow);
    } else if (parsAre(pars, {9, 2})) {
        command(Kind::maximizeWindowVertically);
    } else if (parsAre(pars, {9, 3})) {
        command(Kind::maximizeWindowHorizontally);
    } else if (parsAre(pars, {10, 0})) {
        command(Kind::undoFullScreen);
    } else if (parsAre(pars, {10, 1})) {
        command(Kind::switchToFullScreen);
    } else if (parsAre(pars, {10, 2})) {
        command(Kind::toggleFullScreen);
    } else if (parsAre(pars, {14})) {
        report(Kind::reportTextAreaPixelDimension, '4', true);
    } else if (parsAre(pars, {14, 2})) {
        report(Kind::reportTerminalWindowPixelDimension, '4', true);
    } else if (parsAre(pars, {15})) {
        report(Kind::reportSizeOfScreenInPixels, '5', true);
    } else if (parsAre(pars, {16})) {
        report(Kind::reportCellSizeInPixels, '6', true);
    } else if (parsAre(pars, {18})) {
        report(Kind::reportTextAreaCharacters, '8', false);
    } else if (parsAre(pars, {19})) {
        report(Kind::reportScreenSizeCharacters, '9', false);
    } else if (parsAre(pars, {20})) {
        // Titles are reported empty: a child could otherwise read back text it planted.
        terminal_.sendResponse(std::string(terminal_.replyOsc()) + "L" + std::string(terminal_.replySt()));
    } else if (parsAre(pars, {21})) {
        terminal_.sendResponse(std::string(terminal_.replyOsc()) + "l" + std::string(terminal_.replySt()));
    } else if (parsAre(pars, {22, 0}) || parsAre(pars, {22, 0, 0})) {
        pushBounded(terminal_.terminalTitleStack, terminal_.terminalTitle);
        pushBounded(terminal_.terminalIconStack, terminal_.iconTitle);
    } else if (parsAre(pars, {22, 1})) {
        pushBounded(terminal_.terminalIconStack, terminal_.iconTitle);
    } else if (parsAre(pars, {22, 2})) {
        pushBounded(terminal_.terminalTitleStack, terminal_.terminalTitle);
    } else if (parsAre(pars, {23, 0}) || parsAre(pars, {23, 0, 0})) {
        popTitle();
        popIcon();
    } else if (parsAre(pars, {23, 1})) {
        popIcon();
    } else if (parsAre(pars, {23, 2})) {
        popTitle();
    } else {
        terminal_.logInfo("Unhandled Window command: " + terminal_.decimalList(pars));
    }
}

} // namespace corvix
