#include "terminal/engine/HeadlessTerminal.hpp"

#include "terminal/engine/PseudoTerminalHelpers.hpp"

namespace corvix {

HeadlessTerminal::HeadlessTerminal(Executor& queue, TerminalOptions options,
                                   std::function<void(std::optional<int32_t>)> onEnd)
    : onEnd_(std::move(onEnd))
{
    terminal_ = std::make_unique<Terminal>(this, std::move(options), &queue);
    process_ = std::make_unique<LocalProcess>(this, [&queue](std::function<void()> task) { queue.post(std::move(task)); });
}

HeadlessTerminal::~HeadlessTerminal()
{
    // The process goes first: it must not deliver into a terminal that is gone.
    process_.reset();
    terminal_.reset();
}

void HeadlessTerminal::send(std::span<const uint8_t> data)
{
    process_->send(data);
}

void HeadlessTerminal::send(std::string_view text)
{
    send(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void HeadlessTerminal::changeScrollback(std::optional<int64_t> scrollback)
{
    terminal_->changeScrollback(scrollback);
}

void HeadlessTerminal::resize(int cols, int rows)
{
    terminal_->resize(cols, rows);
    if (process_->running()) {
        winsize size = getWindowSize();
        PseudoTerminalHelpers::setWinSize(process_->childfd(), size);
    }
}

void HeadlessTerminal::send(Terminal&, std::span<const uint8_t> data)
{
    send(data);
}

std::optional<std::vector<uint8_t>> HeadlessTerminal::windowCommand(Terminal&, const WindowManipulationCommand& command)
{
    if (command.kind == WindowManipulationCommand::Kind::resizeTerminal) {
        resize(command.a == 0 ? terminal_->cols : command.a, command.b == 0 ? terminal_->rows : command.b);
    }
    return std::nullopt;
}

void HeadlessTerminal::hostCurrentDirectoryUpdated(Terminal& source)
{
    dir = source.hostCurrentDirectory;
}

bool HeadlessTerminal::createImageFromBitmap(Terminal&, std::vector<uint8_t>& bytes, int width, int height)
{
    images.push_back({bytes, width, height});
    return false;
}

void HeadlessTerminal::processTerminated(LocalProcess&, std::optional<int32_t> exitCode)
{
    if (onEnd_) onEnd_(exitCode);
}

void HeadlessTerminal::dataReceived(std::span<const uint8_t> slice)
{
    terminal_->feed(slice);
}

winsize HeadlessTerminal::getWindowSize()
{
    winsize size{};
    size.ws_row = uint16_t(terminal_->rows);
    size.ws_col = uint16_t(terminal_->cols);
    size.ws_xpixel = 16;
    size.ws_ypixel = 16;
    return size;
}

} // namespace corvix
