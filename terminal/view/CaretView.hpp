#pragma once

#include "terminal/screen/CharData.hpp"
#include "terminal/screen/TerminalOptions.hpp"

#include <QColor>
#include <QElapsedTimer>
#include <QGlyphRun>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

class QPainter;
class QTimer;

namespace corvix {

class TerminalView;
class CaretView;

// One clock for every blinking caret of the process: they fade together, so that a dashboard of
// idle tiles wakes once per change of shade rather than once per caret. It wakes only when the
// shade changes, and not at all while no caret blinks.
class CaretBlinkClock : public QObject {
public:
    static CaretBlinkClock& shared();
    // Starts the caret blinking. The fade starts over from full opacity, for every caret.
    void add(CaretView* caret);
    void remove(CaretView* caret);
    bool contains(const CaretView* caret) const;
    const QTimer& timer() const { return *timer_; }

private:
    explicit CaretBlinkClock(QObject* parent);
    // Moves the fade to the shade due now and sleeps until the next one.
    void advance();
    QTimer* timer_;
    QElapsedTimer epoch_;
    std::vector<CaretView*> carets_;
    double opacity_ = 1.0;
};

// The cursor on the CPU drawing path: a small child widget over the cursor cell, transparent
// for the mouse, that draws the caret shape for the cursor style and blinks by fading its
// opacity. It is opaque: it draws the cell it covers itself, so that a step of the blink
// repaints this widget alone and not the terminal view beneath it. Both the cell and the caret
// are kept as pixmaps, so a step is two blits.
class CaretView : public QWidget {
    Q_OBJECT
public:
    CaretView(const QRect& frame, CursorStyle cursorStyle, TerminalView* terminal);
    ~CaretView() override;

    static bool isBlinking(CursorStyle style)
    {
        return style == CursorStyle::blinkBlock || style == CursorStyle::blinkUnderline
            || style == CursorStyle::blinkBar;
    }

    CursorStyle style() const { return style_; }
    void setStyle(CursorStyle style);

    // When false the caret always draws as focused.
    bool tracksFocus = true;
    // The terminal view's focus, copied by its setter.
    bool focused = false;
    QColor defaultCaretColor;
    std::optional<QColor> defaultCaretTextColor;
    std::optional<QColor> caretTextColor;

    QColor caretColor() const { return caretColor_; }
    void setCaretColor(const QColor& color);

    // Prepares the character under the cursor.
    void setText(const CharData& ch);
    int glyphColumnWidth() const { return glyphColumnWidth_; }
    std::optional<uint32_t> powerlineCodePoint() const { return powerlineCodePoint_; }

    // Starts or stops blinking: 0.7 s out, 0.7 s back, ease-in, for ever, on the shared clock.
    // Either way the caret starts fully shown.
    void updateAnimation(bool blink);
    // Drops any running animation and shows the caret fully.
    void removeAnimations();
    bool isAnimating() const;
    double opacity() const { return opacity_; }

    // Draws the caret into `painter` over this widget's bounds.
    void drawCursor(QPainter& painter, bool hasFocus);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<TerminalView> terminal_;
    CursorStyle style_;
    QColor caretColor_;
    int glyphColumnWidth_ = 1;
    std::optional<uint32_t> powerlineCodePoint_;
    // The laid-out character under a block caret.
    QList<QGlyphRun> line_;
    bool hasLine_ = false;
    friend class CaretBlinkClock;
    // The shade the clock shows; repaints only the caret's own rectangle when it changes.
    void setBlinkOpacity(double opacity);
    double opacity_ = 1.0;
    // What the kept pixmaps were drawn from; a difference draws them again.
    struct BeneathKey {
        QRect frame;
        double scale = 0;
        quint64 terminalPaints = 0;
        quint64 textChanges = 0;
        bool operator==(const BeneathKey&) const = default;
    };
    struct FaceKey {
        QSize size;
        double scale = 0;
        bool hasFocus = false;
        CursorStyle style = CursorStyle::blinkBlock;
        QRgb color = 0;
        QRgb textColor = 0;
        quint64 textChanges = 0;
        bool operator==(const FaceKey&) const = default;
    };
    quint64 textChanges_ = 0;
    QPixmap beneath_;
    BeneathKey beneathKey_;
    QPixmap face_;
    FaceKey faceKey_;
};

} // namespace corvix
