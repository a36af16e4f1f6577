#include "terminal/session/TerminalSession.hpp"

#include "terminal/session/QtExecutor.hpp"

#include <algorithm>
#include <utility>

namespace corvix {

TerminalSession::TerminalSession(const TerminalOptions& options, QObject* parent)
    : QObject(parent), executor_(std::make_unique<QtExecutor>())
{
    terminal_ = std::make_unique<Terminal>(this, options, executor_.get());
    selection_ = SelectionService::create(*terminal_);
    search_ = std::make_unique<SearchService>(*terminal_);
}

TerminalSession::~TerminalSession()
{
    // The terminal may call back while it is torn down; nothing of the session is reachable then.
    terminal_->setDelegate(nullptr);
    view_ = nullptr;
    selection_.reset();
    search_.reset();
    terminal_.reset();
}

void TerminalSession::detachView(const TerminalSessionView* view)
{
    if (view_ == view) view_ = nullptr;
}

// ---- Feeding output ---------------------------------------------------------------------------

size_t TerminalSession::feed(std::span<const uint8_t> bytes, bool keepSelection)
{
    search_->invalidate();
    if (!keepSelection) selection_->setActive(false);
    const size_t taken = terminal_->feed(bytes);
    if (deliveringSlice_) sliceBytesTaken_ += taken;
    return taken;
}

size_t TerminalSession::feedSlice(const std::function<void()>& deliver, size_t chunkSize)
{
    // The feed stopped for an image last time: this is the next slice, with a fresh count.
    if (std::exchange(sliceStoppedForImage_, false)) slicePixelsDecoded_ = 0;
    deliveringSlice_ = true;
    sliceBytesTaken_ = 0;
    deliver();
    deliveringSlice_ = false;
    return sliceStoppedForImage_ ? std::min(sliceBytesTaken_, chunkSize) : chunkSize;
}

bool TerminalSession::admitSliceImage(int64_t pixels)
{
    if (slicePixelsDecoded_ > 0 && slicePixelsDecoded_ + pixels > kImagePixelsPerSlice) {
        sliceStoppedForImage_ = true;
        return false;
    }
    slicePixelsDecoded_ += pixels;
    return true;
}

// ---- Engine callbacks -------------------------------------------------------------------------
// Without a widget each falls back to the engine's own default.

void TerminalSession::showCursor(Terminal& source)
{
    if (view_) view_->showCursor(source);
}

void TerminalSession::hideCursor(Terminal& source)
{
    if (view_) view_->hideCursor(source);
}

void TerminalSession::setTerminalTitle(Terminal& source, const std::string& title)
{
    if (view_) view_->setTerminalTitle(source, title);
}

void TerminalSession::setTerminalIconTitle(Terminal& source, const std::string& title)
{
    if (view_) view_->setTerminalIconTitle(source, title);
}

std::optional<std::vector<uint8_t>> TerminalSession::windowCommand(Terminal& source,
                                                                    const WindowManipulationCommand& command)
{
    return view_ ? view_->windowCommand(source, command) : std::nullopt;
}

void TerminalSession::sizeChanged(Terminal& source)
{
    if (view_) view_->sizeChanged(source);
}

void TerminalSession::send(Terminal& source, std::span<const uint8_t> data)
{
    if (view_) view_->send(source, data);
}

void TerminalSession::scrolled(Terminal& source, int yDisp)
{
    if (view_) view_->scrolled(source, yDisp);
}

void TerminalSession::linefeed(Terminal& source)
{
    if (view_) view_->linefeed(source);
}

void TerminalSession::bufferActivated(Terminal& source)
{
    if (view_) view_->bufferActivated(source);
}

void TerminalSession::synchronizedOutputChanged(Terminal& source, bool active)
{
    if (view_) view_->synchronizedOutputChanged(source, active);
}

void TerminalSession::bell(Terminal& source)
{
    if (view_) view_->bell(source);
}

void TerminalSession::selectionChanged(Terminal& source)
{
    if (view_) view_->selectionChanged(source);
}

bool TerminalSession::isProcessTrusted(Terminal& source)
{
    return view_ ? view_->isProcessTrusted(source) : TerminalDelegate::isProcessTrusted(source);
}

std::optional<std::pair<int, int>> TerminalSession::cellSizeInPixels(Terminal& source)
{
    return view_ ? view_->cellSizeInPixels(source) : std::nullopt;
}

void TerminalSession::mouseModeChanged(Terminal& source)
{
    if (view_) view_->mouseModeChanged(source);
}

void TerminalSession::cursorStyleChanged(Terminal& source, CursorStyle newStyle)
{
    if (view_) view_->cursorStyleChanged(source, newStyle);
}

void TerminalSession::hostCurrentDirectoryUpdated(Terminal& source)
{
    if (view_) view_->hostCurrentDirectoryUpdated(source);
}

void TerminalSession::hostCurrentDocumentUpdated(Terminal& source)
{
    if (view_) view_->hostCurrentDocumentUpdated(source);
}

void TerminalSession::colorChanged(Terminal& source, std::optional<int> idx)
{
    if (view_) view_->colorChanged(source, idx);
}

void TerminalSession::setForegroundColor(Terminal& source, const Color& color)
{
    if (view_) {
        view_->setForegroundColor(source, color);
    } else {
        TerminalDelegate::setForegroundColor(source, color);
    }
}

void TerminalSession::setBackgroundColor(Terminal& source, const Color& color)
{
    if (view_) {
        view_->setBackgroundColor(source, color);
    } else {
        TerminalDelegate::setBackgroundColor(source, color);
    }
}

void TerminalSession::setCursorColor(Terminal& source, std::optional<Color> color)
{
    if (view_) {
        view_->setCursorColor(source, color);
    } else {
        TerminalDelegate::setCursorColor(source, color);
    }
}

std::pair<Color, Color> TerminalSession::getColors(Terminal& source)
{
    return view_ ? view_->getColors(source) : TerminalDelegate::getColors(source);
}

void TerminalSession::iTermContent(Terminal& source, std::span<const uint8_t> content)
{
    if (view_) view_->iTermContent(source, content);
}

void TerminalSession::clipboardCopy(Terminal& source, std::span<const uint8_t> content)
{
    if (view_) view_->clipboardCopy(source, content);
}

std::optional<std::vector<uint8_t>> TerminalSession::clipboardRead(Terminal& source)
{
    return view_ ? view_->clipboardRead(source) : std::nullopt;
}

void TerminalSession::notify(Terminal& source, const std::string& title, const std::string& body)
{
    if (view_) view_->notify(source, title, body);
}

void TerminalSession::progressReport(Terminal& source, const ProgressReport& report)
{
    if (view_) view_->progressReport(source, report);
}

// Pictures are laid out in the widget's cells: without one nothing is placed.
bool TerminalSession::createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height)
{
    return view_ && view_->createImageFromBitmap(source, bytes, width, height);
}

bool TerminalSession::createImage(Terminal& source, std::span<const uint8_t> data, ImageSizeRequest width,
                                  ImageSizeRequest height, bool preserveAspectRatio)
{
    return view_ && view_->createImage(source, data, width, height, preserveAspectRatio);
}

} // namespace corvix
