#include "terminal/view/LocalProcessTerminalView.hpp"

#include "terminal/engine/PseudoTerminalHelpers.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>

namespace corvix {

LocalProcessTerminalView::LocalProcessTerminalView(const QRect& frame, QWidget* parent) : TerminalView(frame, std::nullopt, parent)
{
    terminalDelegate = this;
    // Output arrives on the reader thread; every delivery runs later on this view's thread.
    process_ = std::make_unique<LocalProcess>(this, [this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    });
}

LocalProcessTerminalView::~LocalProcessTerminalView()
{
    process_->setDelegate(nullptr);
    process_.reset();
    terminalDelegate = nullptr;
}

void LocalProcessTerminalView::startProcess(const std::string& executable, const std::vector<std::string>& args,
                                            const std::optional<std::vector<std::string>>& environment,
                                            const std::optional<std::string>& execName,
                                            const std::optional<std::string>& currentDirectory)
{
    if (process_->running()) return;
    process_->startProcess(executable, args, environment, execName, currentDirectory);
}

void LocalProcessTerminalView::terminate()
{
    process_->terminate();
}

void LocalProcessTerminalView::setHostLogging(std::optional<std::string> directory)
{
    process_->setHostLogging(std::move(directory));
}

// ---- TerminalViewDelegate ---------------------------------------------------------------------

void LocalProcessTerminalView::sizeChanged(TerminalView&, int newCols, int newRows)
{
    if (!process_->running()) return;
    winsize size = getWindowSize();
    PseudoTerminalHelpers::setWinSize(process_->childfd(), size);
    if (processDelegate) processDelegate->sizeChanged(*this, newCols, newRows);
}

void LocalProcessTerminalView::setTerminalTitle(TerminalView&, const QString& title)
{
    if (processDelegate) processDelegate->setTerminalTitle(*this, title);
}

void LocalProcessTerminalView::hostCurrentDirectoryUpdate(TerminalView& source, const std::optional<QString>& directory)
{
    if (processDelegate) processDelegate->hostCurrentDirectoryUpdate(source, directory);
}

void LocalProcessTerminalView::send(TerminalView&, std::span<const uint8_t> data)
{
    process_->send(data);
}

void LocalProcessTerminalView::clipboardCopy(TerminalView&, std::span<const uint8_t> content)
{
    // Only valid UTF-8 replaces what the user has on the clipboard.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(content.data(), qsizetype(content.size())));
    if (decoder.hasError()) return;
    QGuiApplication::clipboard()->setText(text);
}

std::optional<std::vector<uint8_t>> LocalProcessTerminalView::clipboardRead(TerminalView&)
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    return std::vector<uint8_t>(utf8.begin(), utf8.end());
}

// ---- LocalProcessDelegate ---------------------------------------------------------------------

void LocalProcessTerminalView::processTerminated(LocalProcess&, std::optional<int32_t> exitCode)
{
    if (processDelegate) processDelegate->processTerminated(*this, exitCode);
}

void LocalProcessTerminalView::dataReceived(std::span<const uint8_t> slice)
{
    feed(slice);
}

size_t LocalProcessTerminalView::takeData(std::span<const uint8_t> slice)
{
    return feedSlice([&] { dataReceived(slice); }, slice.size());
}

winsize LocalProcessTerminalView::getWindowSize()
{
    Terminal& t = getTerminal();
    // The record's fields are 16 bits wide; larger sizes are clamped.
    auto field = [](double v) { return uint16_t(std::clamp(v, 0.0, 65535.0)); };
    winsize size{};
    size.ws_row = field(t.rows);
    size.ws_col = field(t.cols);
    const double scale = devicePixelRatioF();
    const QSizeF cell = cellSize();
    size.ws_xpixel = field(std::trunc(scale * cell.width() * t.cols));
    size.ws_ypixel = field(std::trunc(scale * cell.height() * t.rows));
    return size;
}

} // namespace corvix
