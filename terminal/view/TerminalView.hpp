#pragma once

#include "terminal/bidi/BidiRowLayout.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/KittyGraphics.hpp"
#include "terminal/engine/TerminalDelegate.hpp"
#include "terminal/graphics/KittyPlacementImage.hpp"
#include "terminal/selection/SearchOptions.hpp"
#include "terminal/selection/SearchService.hpp"
#include "terminal/selection/SelectionService.hpp"
#include "terminal/session/TerminalSession.hpp"
#include "terminal/view/TerminalDebugView.hpp"
#include "terminal/view/TerminalFonts.hpp"
#include "terminal/view/TextAttributes.hpp"
#include "terminal/view/ViewLineInfo.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QRawFont>
#include <QWidget>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

class QPainter;
class QScrollBar;
class QTimer;

namespace corvix {

class CaretView;
class PainterRenderer;
struct RenderFrame;
class TerminalFindBarView;
class TerminalFinder;
class TerminalKeyboardInput;
class TerminalMouseInput;
class TerminalProgressBarView;
class TerminalViewDelegate;

// Which links the view reports: none, OSC 8 links only, or links found in the text too.
enum class LinkReporting { none, explicit_, implicit };
// When links are underlined under the pointer.
enum class LinkHighlightMode { hover, hoverWithModifier, always, alwaysWithModifier };
// Overlay scrollers float over the content; legacy ones take their width from it.
enum class ScrollerStyle { legacy, overlay };

// The widget that shows one terminal session and drives it. The session owns the `Terminal`, the
// selection and search over it; the widget attaches to it, draws it and turns input into calls on
// it, and owns the caret, the scroller and the progress bar. The host hears from it through
// `TerminalViewDelegate`.
//
// Coordinates are Qt's: y grows downward and screen row 0 is at the top.
class TerminalView : public QWidget, public TerminalSessionView {
    Q_OBJECT
public:
    // Cursor column, absolute row and visibility at the last GPU redraw request.
    struct RenderedCursor {
        int x = 0;
        int y = 0;
        bool hidden = false;
        friend bool operator==(const RenderedCursor&, const RenderedCursor&) = default;
    };

    // A view over a session of its own, with a terminal fitted to the frame. No font: the
    // system's monospaced font at its usual size.
    explicit TerminalView(const QRect& frame, std::optional<QFont> font = std::nullopt, QWidget* parent = nullptr);
    // A view attached to an existing session: the terminal keeps its content, modes and size
    // until the view is resized.
    TerminalView(std::shared_ptr<TerminalSession> session, const QRect& frame, std::optional<QFont> font = std::nullopt,
                 QWidget* parent = nullptr);
    ~TerminalView() override;

protected:
    using SessionFactory = std::function<std::shared_ptr<TerminalSession>(const TerminalOptions&)>;
    // Attaches to `existing`, or to the session `make` gives for a terminal fitted to the frame.
    TerminalView(std::shared_ptr<TerminalSession> existing, const SessionFactory& make, const QRect& frame,
                 std::optional<QFont> font, QWidget* parent);

public:
    // ---- Host and engine --------------------------------------------------------------------
    TerminalViewDelegate* terminalDelegate = nullptr;
    TerminalSession& session() { return *session_; }
    Terminal& getTerminal() { return *terminal; }
    // False only while the view is making its terminal, which already calls back.
    bool hasTerminal() const { return terminal != nullptr; }
    // The pointer's part; the keyboard's hands it the Ctrl key for the hover links.
    TerminalMouseInput& mouseInput() { return *mouseInput_; }
    SelectionService& selectionService() { return *selection; }
    SearchService* searchService() { return search; }
    CaretView* caret() const { return caretView; }
    QScrollBar* scrollBar() const { return scroller; }
    TerminalProgressBarView* progressBar() const { return progressBarView; }
    TerminalDebugView* debugView() const { return debug; }

    // ---- Fonts and cell metrics (TerminalFonts) ----------------------------------------------
    const FontSet& fonts() const { return fonts_.fonts(); }
    // The cell size in device-independent pixels; set up at construction.
    QSizeF cellSize() const { return fonts_.cellSize(); }
    // The cell size for the current font set, line spacing and screen scale.
    QSizeF computeFontDimensions() const;
    // The cell-size rule on raw metrics: whole device pixels, width at least 1, height 1 to 8192.
    static QSizeF cellSizeFor(double ascent, double descent, double leading, double advance, double lineSpacing,
                              double scale);
    // Recomputes the cell size after a font or line-spacing change and fits the terminal to the view.
    void resetFont();
    // Back to the system's monospaced font. Only the faces change: call `resetFont` to re-measure.
    void resetFontSize();
    double lineSpacing() const { return fonts_.lineSpacing(); }
    void setLineSpacing(double value);
    bool fontSmoothing() const { return fonts_.fontSmoothing(); }
    void setFontSmoothing(bool value) { fonts_.setFontSmoothing(value); }
    // The metrics of one of the four faces, measured once per font change.
    const QFontMetricsF& faceMetrics(FontFace face) const;
    // The placement of one glyph in a slot of `columnWidth` cells.
    GlyphSlotFit glyphSlotFit(const QRawFont& font, quint32 glyph, int columnWidth) const;

    // Process-wide cache (GUI thread only), emptied whole when full.
    // `text` laid out left to right in `font`, as glyph runs (a Qt text layout's line here).
    static QList<QGlyphRun> cachedCTLine(const QString& text, const QFont& font);

    // ---- Geometry ---------------------------------------------------------------------------
    // Sets the terminal up again with the options for a view of the given size.
    void setupOptions(double width, double height);
    // Fits the terminal to a new frame size; true when its size changed.
    bool processSizeChange(QSizeF newSize);
    // Resizes the terminal to an explicit size, keeping its modes and colours. Not `resize`:
    // that name would hide QWidget's, and `resize(700, 500)` would mean cells.
    void resizeGrid(int cols, int rows);
    // The frame that holds the terminal's columns and rows exactly, scroller included.
    QRect getOptimalFrameSize() const;
    // The caret's frame, or an empty rectangle without a caret.
    QRect caretFrame() const;
    // The scroller's width: 0 while hidden.
    int scrollerWidth() const;

    // ---- Colours ----------------------------------------------------------------------------
    QColor mapColor(Attribute::Color color, bool isFg, bool isBold, bool useBrightColors);
    void installColors(const std::vector<Color>& colors);
    void colorsChanged();
    void resetCaches();
    QColor nativeForegroundColor() const { return *_nativeFg; }
    void setNativeForegroundColor(const QColor& color);
    QColor nativeBackgroundColor() const { return *_nativeBg; }
    void setNativeBackgroundColor(const QColor& color);
    void configureNativeColors();
    bool useBrightColors = true;
    QColor caretColor() const;
    void setCaretColor(const QColor& color);
    std::optional<QColor> caretTextColor() const;
    void setCaretTextColor(const std::optional<QColor>& color);
    // The caret's colours; no colour restores the defaults. Not the engine's callback, whose
    // default (keeping the colour in the engine) stays.
    using TerminalDelegate::setCursorColor;
    void setCursorColor(Terminal& source, std::optional<Color> color, std::optional<Color> textColor);
    QColor selectedTextBackgroundColor() const { return _selectedTextBackgroundColor; }
    void setSelectedTextBackgroundColor(const QColor& color);
    QColor selectedTextForegroundColor() const { return _selectedTextForegroundColor; }
    void setSelectedTextForegroundColor(const QColor& color);
    // Process-wide: drawing-ready brushes of colours (filled by the drawing).
    static std::unordered_map<quint64, QBrush>& cgColorCache();

    // ---- Display properties -----------------------------------------------------------------
    BidiHostPolicy bidiHostPolicy() const { return bidiHostPolicy_; }
    void setBidiHostPolicy(BidiHostPolicy value);
    bool customBlockGlyphs() const { return customBlockGlyphs_; }
    void setCustomBlockGlyphs(bool value);
    bool antiAliasCustomBlockGlyphs() const { return antiAliasCustomBlockGlyphs_; }
    void setAntiAliasCustomBlockGlyphs(bool value);
    ScrollerStyle scrollerStyle() const { return scrollerStyle_; }
    void setScrollerStyle(ScrollerStyle style);
    LinkHighlightMode linkHighlightMode() const { return linkHighlightMode_; }
    void setLinkHighlightMode(LinkHighlightMode mode);
    bool caretViewTracksFocus() const;
    void setCaretViewTracksFocus(bool value);
    // Marks every visible row dirty in the engine.
    void markWholeScreenDirty();

    LinkReporting linkReporting = LinkReporting::implicit;
    // The rows and columns of the link under the pointer.
    std::optional<std::vector<LinkMatch::RowRange>> linkHighlightRange;
    bool backspaceSendsControlH = false;
    bool allowMouseReporting = true;
    bool notifyUpdateChanges = false;
    bool userScrolling = false;
    bool disableFullRedrawOnAnyChanges = false;
    bool optionAsMetaKey = true;

    // ---- Focus ------------------------------------------------------------------------------
    // Whether the view holds the keyboard focus in the active window.
    bool hasFocus() const;
    void setHasFocus(bool value);

    // ---- Selection --------------------------------------------------------------------------
    bool selectionActive() const;
    std::optional<std::string> getSelection();
    void selectAll();
    void selectNone();

    // ---- Row model --------------------------------------------------------------------------
    // The visual layout of buffer row `row` when it is shown reordered (right-to-left text);
    // none for rows drawn in logical order.
    std::optional<BidiRowLayout> bidiLayout(int row);
    // The description of buffer row `row` (absolute) that both drawing paths draw from.
    ViewLineInfo buildAttributedString(int row, const BufferLine& line, int cols);
    // The text attributes of a cell attribute, plain or link-highlighted; cached.
    const TextAttributes& getAttributes(const Attribute& attribute, bool withUrl);
    // The attributes with the caller's two colours (the caret's text): no cache, no dim.
    TextAttributes getAttributedValue(const Attribute& attribute, const QColor& usingFg, const QColor& andBg);
    // The selected columns [first, end) of a buffer row, or nothing.
    std::optional<std::pair<int, int>> selectedColumnsRange(int row, int cols);
    // Held while the pointing modifier (Ctrl) is down: hover links show.
    bool commandActive = false;

    // ---- Inline images ----------------------------------------------------------------------
    // The view's image type, holding a QImage here: one cell row of a placed image. The strips
    // of one image share its decoded picture and its budget charge; each shows its part of the
    // picture as laid out in the placement's box.
    class AppleImage final : public KittyPlacementImage {
    public:
        AppleImage(std::shared_ptr<LineImageCharge> charge, std::shared_ptr<const QImage> image, QRectF imageRect,
                   int stripIndex, int pixelWidth, int pixelHeight, int col);
        int pixelWidth() const override { return pixelWidth_; }
        int pixelHeight() const override { return pixelHeight_; }
        int col() const override { return col_; }
        void setCol(int col) override { col_ = col; }
        const QImage& image() const { return *image_; }
        // The decoded picture every strip of the placement shares.
        const std::shared_ptr<const QImage>& picture() const { return image_; }
        // Where the picture goes in the placement's box (points, from the box's top left).
        const QRectF& imageRect() const { return imageRect_; }
        // This strip's row in the box: the box's top is that many strips above the strip.
        int stripIndex() const { return stripIndex_; }
        // The strip's own rectangle on a row whose top edge is at `lineTop` (points, y down); the
        // Kitty pixel offsets, when asked for, move it right and down inside its first cell.
        QRectF stripRect(double cellWidth, double lineTop, double scale, bool withOffsets) const;
        // Where the whole picture lies when this strip is at `strip`: only its part inside the
        // strip shows.
        QRectF laidOutRect(const QRectF& strip) const;

    private:
        std::shared_ptr<const QImage> image_;
        QRectF imageRect_;
        int stripIndex_;
        int pixelWidth_;
        int pixelHeight_;
        int col_;
    };

    // Places a decoded RGBA image (Sixel, Kitty) at the cursor; false when nothing was placed.
    bool createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width, int height) override;
    // Places an encoded image (OSC 1337) at the cursor; false when it does not decode.
    bool createImage(Terminal& source, std::span<const uint8_t> data, ImageSizeRequest width,
                     ImageSizeRequest height, bool preserveAspectRatio) override;
    bool insertImage(const QImage& image, ImageSizeRequest width, ImageSizeRequest height, bool preserveAspectRatio);
    // An image of premultiplied RGBA bytes; none when the sizes do not match the bytes.
    static std::optional<QImage> kittyImageFromRgba(std::span<const uint8_t> bytes, int width, int height);
    // The image size scaled by one factor to fit `rect`, centred in it.
    static QRectF kittyAspectFitRect(QSizeF imageSize, const QRectF& rect);
    // A stored Kitty payload as a premultiplied picture; none when it does not decode.
    static std::optional<QImage> kittyPayloadImage(const KittyGraphicsPayload& payload);
    // The virtual Kitty placements of the active screen by image id, each list by placement id:
    // what placeholder cells show, the same for every drawing path.
    std::unordered_map<uint32_t, std::vector<KittyPlacementRecord>> virtualPlacementsByImageId();
    // The whole placement a placeholder cell on the row at `rowTop` (points, y down) shows a piece
    // of: the first of `placements` that covers the cell; nothing when none does.
    static std::optional<QRectF> kittyPlaceholderArea(const std::vector<KittyPlacementRecord>& placements,
                                                      const KittyPlaceholderCell& cell, QSizeF cellSize,
                                                      double rowTop, double scale);
    // The stored Kitty image `imageId` as a picture, through a cache the caller holds for one pass.
    std::optional<QImage> kittyPlaceholderImage(uint32_t imageId, std::unordered_map<uint32_t, QImage>& cache);

    // ---- Links ------------------------------------------------------------------------------
    struct LinkTarget {
        QString link;
        std::map<QString, QString> params;
        friend bool operator==(const LinkTarget&, const LinkTarget&) = default;
    };
    // The OSC 8 payload of the cell at a buffer position (the right half of a wide character
    // carries the character's).
    std::optional<QString> payloadString(Position at);
    // An OSC 8 payload as its URI and the "key=value" parameters before it.
    static std::optional<LinkTarget> urlAndParamsFrom(const QString& payload);
    // The link a click at a buffer position opens, as the highlight mode accepts it.
    std::optional<LinkTarget> linkForClick(Position at, bool hasCommandModifier);
    // Marks the rows of the old and the new highlight dirty; the caller queues the redraw.
    void invalidateLinkHighlight(const std::optional<std::vector<LinkMatch::RowRange>>& oldRange,
                                 const std::optional<std::vector<LinkMatch::RowRange>>& newRange);

    // ---- Find, copy and paste ----------------------------------------------------------------
    // The standard find commands, by their tags.
    enum class FindAction { showFindInterface = 1, next = 2, previous = 3, setFindString = 7, hideFindInterface = 11,
                            selectAll = 12, replace = 13 };
    // The menu commands the view answers.
    enum class MenuAction { findPanel, textFinder, copy, paste, selectAll, other };
    void performFindPanelAction(int tag);
    void performTextFinderAction(int tag);
    bool validateUserInterfaceItem(MenuAction action, int tag = 0);
    void copy();
    void paste();
    // Selects the match after (before) the selection and shows it; false when there is none.
    bool findNext(const QString& term, const SearchOptions& options, bool scrollToResult);
    bool findPrevious(const QString& term, const SearchOptions& options, bool scrollToResult);
    void clearSearch();
    // (1-based index of the last match among all, total); (0, total) when it is not among them.
    std::pair<int, int> searchMatchSummary(const QString& term, const SearchOptions& options, int limit);
    TerminalFindBarView* findBar() const;
    void showFindBar(bool prefillSelection);
    void selectionChanged(Terminal& source) override;

    // ---- Drawing (the frame for the renderers; PainterRenderer on the CPU) -------------------
    // The frame of every row the dirty rectangle touches; `bufferOffset` is the buffer row at the top.
    RenderFrame renderFrame(const QRect& dirtyRect, int bufferOffset);
    // The frame of buffer rows `firstRow` to `lastRow` (those the buffer has).
    RenderFrame renderFrame(const QRect& dirtyRect, int bufferOffset, int firstRow, int lastRow);
    // Draws that frame with `painter`.
    void drawTerminalContents(const QRect& dirtyRect, QPainter& painter, int bufferOffset);
    // How often the view has painted: the caret keeps the cell beneath it until this changes.
    quint64 paintCount() const { return paintCount_; }

    // ---- Feed and redraw --------------------------------------------------------------------
    void feed(std::span<const uint8_t> byteArray);
    void feed(std::string_view text);
    // Output delivered in slices of the GUI thread's time (the local process's drain): `deliver`
    // feeds the chunk. Inline images (OSC 1337) decoded within one slice are held to
    // kImagePixelsPerSlice: past it (the slice's first image always decodes) the feed stops
    // before the image, and the bytes taken are returned; the rest comes in the next slice.
    size_t feedSlice(const std::function<void()>& deliver, size_t chunkSize);
    static constexpr int64_t kImagePixelsPerSlice = TerminalSession::kImagePixelsPerSlice;
    // Output from the session's source: fed, then redrawn.
    void dataReceived(std::span<const uint8_t> slice) override;
    QSizeF cellPixelSize() const override;
    // Input on the user's behalf: stamped as user input, then handed to the host.
    void send(std::span<const uint8_t> data);
    void send(std::string_view txt);
    // An arrow key in the direction the cursor line's text direction calls for.
    void sendHorizontalKey(bool left);
    void queuePendingDisplay();
    void queueGpuDisplay();
    void displayImmediately();
    bool shouldDisplayImmediatelyAfterUserInput() const;
    void updateDisplay(bool notifyAccessibility);
    void updateCursorPosition();
    // The area to repaint for changed screen rows first..last.
    QRect dirtyRect(int first, int last) const;
    bool pendingDisplay() const { return pendingDisplay_; }
    // Monotonic nanoseconds; replaceable so tests can place events exactly.
    std::function<uint64_t()> uptimeNs;
    // The time of the last user input (0 = never).
    uint64_t lastUserInputUptimeNs() const { return lastUserInputUptimeNs_.load(); }

    // ---- Scrolling --------------------------------------------------------------------------
    double scrollPosition();
    double scrollThumbsize();
    bool canScroll();
    void scroll(double toPosition);
    void scrollTo(int row, bool notifyAccessibility);
    void scrollUp(int lines);
    void scrollDown(int lines);
    void pageUp();
    void pageDown();
    void updateUserScrollingState(int row, Buffer& in);
    void changeScrollback(std::optional<int> scrollback);
    // Puts the scroller's state in line with the terminal.
    void refreshScroller();
    void scrollerActivated(int action);

    // ---- GPU renderer -----------------------------------------------------------------------
    // Switches between CPU drawing and the GPU renderer; an error leaves the drawing as it was.
    std::optional<GpuError> setUseGpu(bool enabled);
    bool isUsingGpuRenderer() const { return useGpuRenderer; }
    void drawGpuFrameNow();
    GpuBufferingMode gpuBufferingMode = GpuBufferingMode::perRowPersistent;
    std::optional<double> gpuScaleFactorOverride() const { return gpuScaleFactorOverride_; }
    void setGpuScaleFactorOverride(std::optional<double> value);
    // Absolute rows the GPU renderer must rebuild at its next frame.
    std::optional<std::pair<int, int>> gpuDirtyRange;
    std::optional<RenderedCursor> lastRenderedCursor;
    // Whether the GPU renderer coalesces redraws during a live resize.
    static bool gpuLiveResizeThrottleEnabled();
    // Where the GPU renderer's device comes from: the system's, unless a test puts its own here.
    std::function<GpuDeviceProbe()> gpuDeviceProbe = probeSystemGpuDevice;

    // ---- Mouse, selection gestures and hover links -------------------------------------------
    // Where a point of the view falls: `grid` is the buffer cell (scroll-back included), `pixels`
    // the point in whole pixels from the top-left corner, clamped to the view.
    struct MouseHit {
        Position grid;
        Position pixels;
    };
    MouseHit calculateMouseHit(QPointF at);
    // The report flags of a press, release or drag: the button (3 for a release) and, in the
    // modes that report them, Shift 4, Alt 8 and Control 16.
    int encodeMouseEvent(const QMouseEvent& event, bool overwriteRelease) const;
    // Multiplies wheel deltas; stored as at least 0.05.
    double scrollSensitivity() const;
    void setScrollSensitivity(double value);
    // Highlights the link at a buffer position, or drops the highlight when there is none or the
    // mode wants Ctrl and it is not held. Without an override, Ctrl counts as held while
    // `commandActive` is.
    void updateHoverLink(Position at, std::optional<bool> commandOverride);
    // Ends the Ctrl hover: the URL preview goes, pointer tracking may stop, the Ctrl-only
    // highlights go.
    void turnOffUrlPreview();
    // Pointer motion without a button is delivered only while it is needed: the program asked
    // for every motion, Ctrl is held, or links highlight on plain hover.
    bool hasTrackingInterest() const;
    void startTracking();
    void deregisterTrackingInterest();
    void mouseModeChanged(Terminal& source) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

public:
    // ---- Engine callbacks -------------------------------------------------------------------
    // Scrolls back to the cursor's row when it is outside the viewport.
    void ensureCaretIsVisible();
    void handleProgressReport(const ProgressReport& report);
    // How long a progress report stays without renewal, in seconds.
    double progressReportTimeout = 15.0;
    std::optional<uint8_t> lastProgressValue() const { return lastProgressValue_; }
    // The image redrawn into exactly `size`, centred and scaled by one factor to span the full
    // width or the full height.
    static QImage scale(const QImage& image, QSize size);

    // ---- Keyboard and text input ------------------------------------------------------------
    // A range of UTF-16 units in the input method's marked text.
    struct TextRange {
        static constexpr qsizetype kNotFound = -1;
        qsizetype location = kNotFound;
        qsizetype length = 0;
        friend bool operator==(const TextRange&, const TextRange&) = default;
    };
    // Typed, committed or pasted text for the program. A paste is bracketed when the program
    // asked for it, and cannot end the bracket early.
    void insertText(const QString& text, bool isPaste = false);
    // A key-binding command by name: "insertNewline:", "moveUp:", "scrollPageUp:", ...
    void doCommand(std::string_view selector);
    // The input method's composition: shown at the caret, sent only when committed.
    void setMarkedText(const QString& text, TextRange selectedRange);
    void unmarkText();
    bool hasMarkedText() const;
    TextRange markedRange() const;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool focusNextPrevChild(bool next) override;

public:
    // ---- TerminalDelegate -------------------------------------------------------------------
    void showCursor(Terminal& source) override;
    void hideCursor(Terminal& source) override;
    void setTerminalTitle(Terminal& source, const std::string& title) override;
    std::optional<std::vector<uint8_t>> windowCommand(Terminal& source,
                                                       const WindowManipulationCommand& command) override;
    void send(Terminal& source, std::span<const uint8_t> data) override;
    void sizeChanged(Terminal& source) override;
    void scrolled(Terminal& source, int yDisp) override;
    void linefeed(Terminal& source) override;
    void bufferActivated(Terminal& source) override;
    void synchronizedOutputChanged(Terminal& source, bool active) override;
    void bell(Terminal& source) override;
    std::optional<std::pair<int, int>> cellSizeInPixels(Terminal& source) override;
    void cursorStyleChanged(Terminal& source, CursorStyle newStyle) override;
    void hostCurrentDirectoryUpdated(Terminal& source) override;
    void colorChanged(Terminal& source, std::optional<int> idx) override;
    void setForegroundColor(Terminal& source, const Color& color) override;
    void setBackgroundColor(Terminal& source, const Color& color) override;
    void iTermContent(Terminal& source, std::span<const uint8_t> content) override;
    void clipboardCopy(Terminal& source, std::span<const uint8_t> content) override;
    std::optional<std::vector<uint8_t>> clipboardRead(Terminal& source) override;
    void progressReport(Terminal& source, const ProgressReport& report) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class TerminalDebugView;

    // Member names: those the view's parts and renderers know the view's state by (`terminal`,
    // `caretView`, `scroller`, `_nativeFg`, `_hasFocus`, ...) stay as they are; the rest end in an
    // underscore.

    // Makes the session's terminal fitted to the bounds, less the scroller.
    void setupOptions(const SessionFactory& make);
    // Takes the session's terminal and services and becomes the session's view.
    void attachSession();
    // The columns and rows a frame holds: the scroller's width (unless hidden) is not text.
    QSize fittingGrid(QSizeF frame) const;
    void setupScroller();
    void setupProgressBar();
    void setupFocusNotification();
    void layoutChildren();
    void showCaretAgain();
    void applyBecomeMain();
    // Records user input, brings the caret into view and hands the bytes to the host.
    void sendUserInput(std::span<const uint8_t> data);
    bool cursorLineIsRightToLeft();

    std::optional<GpuError> updateGpuRenderer(bool enabled);
    void insertGpuView(QWidget* view, QWidget* replacing);
    void rebindGpuRendererToWindow(QWidget* window);
    void disableGpuRendererAfterRebindFailure(GpuError error);

    // The session shown, shared with its owner; the engine and services are the session's.
    std::shared_ptr<TerminalSession> session_;
    Terminal* terminal = nullptr;
    SelectionService* selection = nullptr;
    SearchService* search = nullptr;

    QPointer<TerminalDebugView> debug;

    // Redraw scheduling.
    bool pendingDisplay_ = false;
    QTimer* displayTimer_ = nullptr;
    std::atomic<uint64_t> lastUserInputUptimeNs_{0};

    // GPU renderer.
    std::shared_ptr<GpuDevice> gpuDevice_;
    QWidget* gpuView = nullptr;
    std::unique_ptr<GpuTerminalRenderer> gpuRenderer;
    bool useGpuRenderer = false;
    QPointer<QWidget> gpuBoundWindow;
    bool pendingGpuDisplay = false;
    QTimer* gpuDisplayTimer_ = nullptr;
    std::optional<double> gpuScaleFactorOverride_;

    // Fonts and metrics.
    TerminalFonts fonts_;
    // True once construction has built everything a font change touches.
    bool constructed_ = false;

    // Children.
    CaretView* caretView = nullptr;
    quint64 paintCount_ = 0;
    TerminalProgressBarView* progressBarView = nullptr;
    QScrollBar* scroller = nullptr;
    QMetaObject::Connection focusWindowObserver_;

    // Colour caches.
    std::unordered_map<Attribute, TextAttributes> attributes;
    std::unordered_map<Attribute, TextAttributes> urlAttributes;
    std::array<std::optional<QColor>, 256> colors;
    std::unordered_map<Attribute::Color, QColor> trueColors;
    std::optional<QColor> _nativeFg;
    std::optional<QColor> _nativeBg;
    bool settingFg = false;
    bool settingBg = false;
    QColor _selectedTextBackgroundColor = QColor::fromRgbF(0.0f, 0.6509803921568628f, 0.6980392156862745f, 1.0f);
    QColor _selectedTextForegroundColor = Qt::black;

    BidiHostPolicy bidiHostPolicy_ = BidiHostPolicy::respectTerminal;
    bool customBlockGlyphs_ = true;
    bool antiAliasCustomBlockGlyphs_ = false;
    ScrollerStyle scrollerStyle_ = ScrollerStyle::overlay;
    LinkHighlightMode linkHighlightMode_ = LinkHighlightMode::hoverWithModifier;
    bool _hasFocus = false;

    // Input and find, each in a part of its own.
    std::unique_ptr<TerminalKeyboardInput> keyboardInput_;
    std::unique_ptr<TerminalMouseInput> mouseInput_;
    std::unique_ptr<TerminalFinder> finder_;

    void addDecorations(TextAttributes& result, const Attribute& attribute);

    // Drawing.
    std::unique_ptr<PainterRenderer> renderer_;
    // The frame's settings (geometry, scale, default colours) without its rows.
    RenderFrame frameSettings(const QRect& dirtyRect, int bufferOffset);

    // Progress reports.
    QTimer* progressReportTimer = nullptr;
    std::optional<uint8_t> lastProgressValue_;
    void clearProgressReport();
};

} // namespace corvix
