#pragma once

#include "terminal/engine/KittyKeyboardProtocol.hpp"

#include <optional>
#include <string>
#include <string_view>

class QKeyEvent;

namespace corvix {

// Function keys travel through the key handling as private-use characters in the key's
// characters, one per key, so that a key is a character whatever the toolkit calls it.
inline constexpr char32_t kUpArrowFunctionKey = 0xF700;
inline constexpr char32_t kDownArrowFunctionKey = 0xF701;
inline constexpr char32_t kLeftArrowFunctionKey = 0xF702;
inline constexpr char32_t kRightArrowFunctionKey = 0xF703;
inline constexpr char32_t kF1FunctionKey = 0xF704; // F1 to F35 follow one after the other
inline constexpr char32_t kF12FunctionKey = 0xF70F;
inline constexpr char32_t kF35FunctionKey = 0xF726;
inline constexpr char32_t kInsertFunctionKey = 0xF727;
inline constexpr char32_t kDeleteFunctionKey = 0xF728;
inline constexpr char32_t kHomeFunctionKey = 0xF729;
inline constexpr char32_t kEndFunctionKey = 0xF72B;
inline constexpr char32_t kPageUpFunctionKey = 0xF72C;
inline constexpr char32_t kPageDownFunctionKey = 0xF72D;
inline constexpr char32_t kPrintScreenFunctionKey = 0xF72E;
inline constexpr char32_t kScrollLockFunctionKey = 0xF72F;
inline constexpr char32_t kPauseFunctionKey = 0xF730;
inline constexpr char32_t kMenuFunctionKey = 0xF735;

// One key event as the terminal's key handling reads it, translated once from the toolkit's.
struct KeyInput {
    // What the key types, modifiers applied; when that is a control character or nothing,
    // the same as `charactersIgnoringModifiers`.
    std::u32string characters;
    // The key's character with Shift alone applied: a function key's private-use character,
    // CR for Return and Enter, TAB, DEL for Backspace, ESC; empty for keys without one.
    std::u32string charactersIgnoringModifiers;

    bool shift = false;
    bool control = false;
    bool option = false;  // Alt
    bool command = false; // Super
    bool capsLock = false;
    bool numericPad = false; // a key of the keypad
    bool isRepeat = false;
    bool pressed = true; // a press, not a release

    // The keypad key by its position, whatever Num Lock makes it type.
    std::optional<KittyFunctionalKey> keypadKey;
    // The US-layout character of the physical key, when it is one of the main block's.
    std::optional<char32_t> baseLayoutKey;

    // Shift, Control, Alt, Super, Caps Lock or AltGr went down or up: the flags above already
    // say the state after the change. `modifierKey` names the key for the Kitty report.
    bool isModifierKey = false;
    std::optional<KittyFunctionalKey> modifierKey;

    // The key-binding command of the fixed table ("insertNewline:", ...); empty for none.
    std::string_view keyBinding;

    // The key stands for a function key (arrows, F-keys, Insert, Delete, Home, End, pages, ...).
    bool hasFunctionKeyFlag() const
    {
        return !charactersIgnoringModifiers.empty() && charactersIgnoringModifiers[0] >= 0xF700 &&
               charactersIgnoringModifiers[0] <= 0xF8FF;
    }
};

KeyInput translateKeyEvent(const QKeyEvent& event);

// Not empty, and no scalar is a C0 control, DEL or a C1 control.
bool isPlainPrintableText(std::u32string_view text);

} // namespace corvix
