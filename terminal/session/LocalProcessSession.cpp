#include "terminal/session/LocalProcessSession.hpp"

#include "terminal/engine/PseudoTerminalHelpers.hpp"

#include <QMetaObject>

#include <algorithm>
#include <cmath>

namespace corvix {

LocalProcessSession::LocalProcessSession(const TerminalOptions& options, QObject* parent)
    : TerminalSession(options, parent)
{
    // Output arrives on the reader thread; every delivery runs later on this session's thread.
    process_ = std::make_unique<LocalProcess>(this, [this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    });
}

LocalProcessSession::~LocalProcessSession()
{
    process_->setDelegate(nullptr);
    process_.reset();
}

void LocalProcessSession::send(std::span<const uint8_t> data)
{
    process_->send(data);
}

void LocalProcessSession::send(std::string_view text)
{
    send(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void LocalProcessSession::send(Terminal&, std::span<const uint8_t> data)
{
    process_->send(data);
}

void LocalProcessSession::updateWindowSize()
{
    if (!process_->running()) return;
    winsize size = getWindowSize();
    PseudoTerminalHelpers::setWinSize(process_->childfd(), size);
}

void LocalProcessSession::processTerminated(LocalProcess&, std::optional<int32_t> exitCode)
{
    if (processDelegate) processDelegate->processTerminated(*this, exitCode);
}

void LocalProcessSession::dataReceived(std::span<const uint8_t> slice)
{
    if (TerminalSessionView* widget = view()) {
        widget->dataReceived(slice);
    } else {
        feed(slice);
    }
}

size_t LocalProcessSession::takeData(std::span<const uint8_t> slice)
{
    return feedSlice([&] { dataReceived(slice); }, slice.size());
}

winsize LocalProcessSession::getWindowSize()
{
    Terminal& t = terminal();
    // The record's fields are 16 bits wide; larger sizes are clamped.
    auto field = [](double v) { return uint16_t(std::clamp(v, 0.0, 65535.0)); };
    winsize size{};
    size.ws_row = field(t.rows);
    size.ws_col = field(t.cols);
    if (const TerminalSessionView* widget = view()) {
        const QSizeF cell = widget->cellPixelSize();
        size.ws_xpixel = field(std::trunc(cell.width() * t.cols));
        size.ws_ypixel = field(std::trunc(cell.height() * t.rows));
    }
    return size;
}

} // namespace corvix
