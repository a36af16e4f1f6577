#pragma once

#include "terminal/engine/Executor.hpp"
#include "terminal/engine/LocalProcess.hpp"
#include "terminal/engine/Terminal.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvix {

// A child process on a pseudo-terminal feeding a Terminal, with no view: the smallest complete
// host of the engine. Everything (construction aside) runs on the thread of `queue`: the
// process delivers its output there, and the terminal's timer runs there.
class HeadlessTerminal final : public TerminalDelegate, public LocalProcessDelegate {
public:
    struct Image {
        std::vector<uint8_t> bytes;
        int width = 0;
        int height = 0;
    };

    HeadlessTerminal(Executor& queue, TerminalOptions options, std::function<void(std::optional<int32_t>)> onEnd);
    ~HeadlessTerminal() override;

    Terminal& terminal() { return *terminal_; }
    LocalProcess& process() { return *process_; }

    // Bytes for the child; written only while it runs.
    void send(std::span<const uint8_t> data);
    void send(std::string_view text);
    void changeScrollback(std::optional<int64_t> scrollback);
    // Resizes the terminal and tells a running child the new window size.
    void resize(int cols, int rows);

    // The last directory the child reported.
    std::optional<std::string> dir;
    // Every decoded bitmap image the terminal produced.
    std::vector<Image> images;

    // TerminalDelegate
    void send(Terminal& source, std::span<const uint8_t> data) override;
    // Carries out a child's resize request (CSI 8 ; rows ; cols t); 0 keeps that dimension.
    std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                       const WindowManipulationCommand& command) override;
    void hostCurrentDirectoryUpdated(Terminal& source) override;
    // Records the bitmap; attaches nothing, so it reports nothing placed.
    bool createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height) override;

    // LocalProcessDelegate
    void processTerminated(LocalProcess& source, std::optional<int32_t> exitCode) override;
    void dataReceived(std::span<const uint8_t> slice) override;
    winsize getWindowSize() override;

private:
    std::function<void(std::optional<int32_t>)> onEnd_;
    std::unique_ptr<Terminal> terminal_;
    std::unique_ptr<LocalProcess> process_;
};

} // namespace corvix
