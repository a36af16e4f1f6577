#pragma once

#include "terminal/screen/CharData.hpp"
#include "terminal/screen/TerminalOptions.hpp"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <optional>

class QVariantAnimation;

namespace corvix {

class TerminalView;

// The cursor on the CPU drawing path: a small child widget over the cursor cell, transparent
// for the mouse, that blinks by fading its opacity.
class CaretView : public QWidget {
    Q_OBJECT
public:
    CaretView(const QRect& frame, CursorStyle cursorStyle, TerminalView* terminal);

    static bool isBlinking(CursorStyle style)
    {
        return style == CursorStyle::blinkBlock || style == CursorStyle::blinkUnderline
            || style == CursorStyle::blinkBar;
    }

    CursorStyle style() const { return style_; }
    void setStyle(CursorStyle style);

    bool tracksFocus = true;
    bool focused = false;
    QColor defaultCaretColor;
    std::optional<QColor> defaultCaretTextColor;
    std::optional<QColor> caretTextColor;

    QColor caretColor() const { return caretColor_; }
    void setCaretColor(const QColor& color);

    // The character under the cursor.
    void setText(const CharData& ch);
    int glyphColumnWidth() const { return glyphColumnWidth_; }

    // Starts or stops blinking; stopping leaves the caret fully shown.
    void updateAnimation(bool blink);
    // Drops any running animation and shows the caret fully.
    void removeAnimations();
    bool isAnimating() const;
    double opacity() const { return opacity_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<TerminalView> terminal_;
    CursorStyle style_;
    QColor caretColor_;
    int glyphColumnWidth_ = 1;
    double opacity_ = 1.0;
    QVariantAnimation* blink_ = nullptr;
};

} // namespace corvix
