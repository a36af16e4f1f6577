#pragma once

#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalDelegate.hpp"
#include "terminal/screen/TerminalOptions.hpp"
#include "terminal/selection/SearchService.hpp"
#include "terminal/selection/SelectionService.hpp"

#include <QObject>
#include <QSizeF>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace corvix {

class QtExecutor;

// What a session asks of the widget attached to it. The engine's callbacks that are the widget's
// business (redraw, caret, scroller, colours, images, reports that need the cell size) reach it
// through `TerminalDelegate`.
class TerminalSessionView : public TerminalDelegate {
public:
    // Output for the terminal from the session's source: the widget feeds it and redraws.
    virtual void dataReceived(std::span<const uint8_t> slice) = 0;
    // One cell in device pixels, for the child's window size.
    virtual QSizeF cellPixelSize() const = 0;
};

// One terminal and what works over it: the engine, its executor, the selection and the search.
// It is the engine's delegate and keeps the terminal going with or without a widget: the widget
// attaches to draw it and turn input into calls on it, and may be destroyed and made again without
// touching the terminal. GUI thread only.
class TerminalSession : public QObject, public TerminalDelegate {
    Q_OBJECT
public:
    explicit TerminalSession(const TerminalOptions& options = TerminalOptions::defaults(), QObject* parent = nullptr);
    ~TerminalSession() override;

    Terminal& terminal() { return *terminal_; }
    SelectionService& selection() { return *selection_; }
    SearchService& search() { return *search_; }

    // The widget the engine's display callbacks go to; a new one replaces the old.
    void attachView(TerminalSessionView* view) { view_ = view; }
    // Detaches `view` if it is the one attached.
    void detachView(const TerminalSessionView* view);
    TerminalSessionView* view() const { return view_; }

    // Output into the terminal: the search's cached lines go stale and the selection ends,
    // unless `keepSelection`. Returns the bytes the terminal took.
    size_t feed(std::span<const uint8_t> bytes, bool keepSelection = false);
    // Output delivered in slices of the GUI thread's time (the local process's drain): `deliver`
    // feeds the chunk. Inline images (OSC 1337) decoded within one slice are held to
    // kImagePixelsPerSlice: past it (the slice's first image always decodes) the feed stops
    // before the image, and the bytes taken are returned; the rest comes in the next slice.
    size_t feedSlice(const std::function<void()>& deliver, size_t chunkSize);
    static constexpr int64_t kImagePixelsPerSlice = 4'000'000;
    bool deliveringSlice() const { return deliveringSlice_; }
    // Within a slice: counts an image of `pixels` towards the budget, or refuses it (and ends the
    // slice there) when an earlier image of the slice already took the budget.
    bool admitSliceImage(int64_t pixels);

    // ---- TerminalDelegate: forwarded to the attached widget -------------------------------------
    void showCursor(Terminal& source) override;
    void hideCursor(Terminal& source) override;
    void setTerminalTitle(Terminal& source, const std::string& title) override;
    void setTerminalIconTitle(Terminal& source, const std::string& title) override;
    std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                       const WindowManipulationCommand& command) override;
    void sizeChanged(Terminal& source) override;
    void send(Terminal& source, std::span<const uint8_t> data) override;
    void scrolled(Terminal& source, int yDisp) override;
    void linefeed(Terminal& source) override;
    void bufferActivated(Terminal& source) override;
    void synchronizedOutputChanged(Terminal& source, bool active) override;
    void bell(Terminal& source) override;
    void selectionChanged(Terminal& source) override;
    bool isProcessTrusted(Terminal& source) override;
    std::optional<std::pair<int, int>> cellSizeInPixels(Terminal& source) override;
    void mouseModeChanged(Terminal& source) override;
    void cursorStyleChanged(Terminal& source, CursorStyle newStyle) override;
    void hostCurrentDirectoryUpdated(Terminal& source) override;
    void hostCurrentDocumentUpdated(Terminal& source) override;
    void colorChanged(Terminal& source, std::optional<int> idx) override;
    void setForegroundColor(Terminal& source, const Color& color) override;
    void setBackgroundColor(Terminal& source, const Color& color) override;
    void setCursorColor(Terminal& source, std::optional<Color> color) override;
    std::pair<Color, Color> getColors(Terminal& source) override;
    void iTermContent(Terminal& source, std::span<const uint8_t> content) override;
    void clipboardCopy(Terminal& source, std::span<const uint8_t> content) override;
    std::optional<std::vector<uint8_t>> clipboardRead(Terminal& source) override;
    void notify(Terminal& source, const std::string& title, const std::string& body) override;
    void progressReport(Terminal& source, const ProgressReport& report) override;
    bool createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height) override;
    bool createImage(Terminal& source, std::span<const uint8_t> data, ImageSizeRequest width,
                     ImageSizeRequest height, bool preserveAspectRatio) override;

private:
    // Declared first: the terminal's deferred work runs on it until the terminal is gone.
    std::unique_ptr<QtExecutor> executor_;
    std::unique_ptr<Terminal> terminal_;
    std::shared_ptr<SelectionService> selection_;
    std::unique_ptr<SearchService> search_;
    TerminalSessionView* view_ = nullptr;

    // A slice is being delivered (feedSlice), the bytes its feed took, and the inline-image
    // pixels decoded since the feed last stopped for them.
    bool deliveringSlice_ = false;
    size_t sliceBytesTaken_ = 0;
    int64_t slicePixelsDecoded_ = 0;
    bool sliceStoppedForImage_ = false;
};

} // namespace corvix
