#include "terminal/view/LocalProcessTerminalView.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QStringDecoder>

namespace corvix {

LocalProcessTerminalView::LocalProcessTerminalView(const QRect& frame, QWidget* parent)
    : TerminalView(
          nullptr, [](const TerminalOptions& options) { return std::make_shared<LocalProcessSession>(options); }, frame,
          std::nullopt, parent)
{
    terminalDelegate = this;
    session().processDelegate = this;
}

LocalProcessTerminalView::LocalProcessTerminalView(std::shared_ptr<LocalProcessSession> shared, const QRect& frame,
                                                   std::optional<QFont> font, QWidget* parent)
    : TerminalView(std::move(shared), nullptr, frame, std::move(font), parent)
{
    terminalDelegate = this;
}

LocalProcessTerminalView::~LocalProcessTerminalView()
{
    if (session().processDelegate == this) session().processDelegate = nullptr;
    terminalDelegate = nullptr;
}

void LocalProcessTerminalView::startProcess(const std::string& executable, const std::vector<std::string>& args,
                                            const std::optional<std::vector<std::string>>& environment,
                                            const std::optional<std::string>& execName,
                                            const std::optional<std::string>& currentDirectory)
{
    if (process().running()) return;
    process().startProcess(executable, args, environment, execName, currentDirectory);
}

void LocalProcessTerminalView::terminate()
{
    process().terminate();
}

void LocalProcessTerminalView::setHostLogging(std::optional<std::string> directory)
{
    process().setHostLogging(std::move(directory));
}

// ---- TerminalViewDelegate ---------------------------------------------------------------------

void LocalProcessTerminalView::sizeChanged(TerminalView&, int newCols, int newRows)
{
    if (!process().running()) return;
    session().updateWindowSize();
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
    session().send(data);
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

// ---- The session's output and its child's end -------------------------------------------------

void LocalProcessTerminalView::dataReceived(std::span<const uint8_t> slice)
{
    feed(slice);
}

void LocalProcessTerminalView::processTerminated(LocalProcessSession&, std::optional<int32_t> exitCode)
{
    if (processDelegate) processDelegate->processTerminated(*this, exitCode);
}

} // namespace corvix
