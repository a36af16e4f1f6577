#include "terminal/view/KeyTranslation.hpp"

#include <QChar>
#include <QKeyEvent>

#include <algorithm>
#include <array>
#include <utility>

namespace corvix {

namespace {

using Key = KittyFunctionalKey;

template <typename Value, size_t N>
std::optional<Value> lookUp(const std::pair<int, Value> (&table)[N], int key)
{
    for (const auto& [k, v] : table) {
        if (k == key) return v;
    }
    return std::nullopt;
}

// Keys whose character is a function-key character or a control character. F1 to F35 are a
// run in both numberings and are handled apart.
constexpr std::pair<int, char32_t> kKeyCharacters[] = {
    {Qt::Key_Up, kUpArrowFunctionKey},
    {Qt::Key_Down, kDownArrowFunctionKey},
    {Qt::Key_Left, kLeftArrowFunctionKey},
    {Qt::Key_Right, kRightArrowFunctionKey},
    {Qt::Key_Insert, kInsertFunctionKey},
    {Qt::Key_Delete, kDeleteFunctionKey},
    {Qt::Key_Home, kHomeFunctionKey},
    {Qt::Key_End, kEndFunctionKey},
    {Qt::Key_PageUp, kPageUpFunctionKey},
    {Qt::Key_PageDown, kPageDownFunctionKey},
    {Qt::Key_Print, kPrintScreenFunctionKey},
    {Qt::Key_ScrollLock, kScrollLockFunctionKey},
    {Qt::Key_Pause, kPauseFunctionKey},
    {Qt::Key_Menu, kMenuFunctionKey},
    {Qt::Key_Return, U'\r'},
    {Qt::Key_Enter, U'\r'},
    {Qt::Key_Tab, U'\t'},
    {Qt::Key_Backspace, 0x7F},
    {Qt::Key_Escape, 0x1B},
};

// Keypad keys by what Qt calls them while the event carries the keypad flag. With Num Lock off
// the digits arrive as arrows, Home, ... and are left to the keypad variants of those.
constexpr std::pair<int, Key> kKeypadKeys[] = {
    {Qt::Key_0, Key::keypad0},         {Qt::Key_1, Key::keypad1},
    {Qt::Key_2, Key::keypad2},         {Qt::Key_3, Key::keypad3},
    {Qt::Key_4, Key::keypad4},         {Qt::Key_5, Key::keypad5},
    {Qt::Key_6, Key::keypad6},         {Qt::Key_7, Key::keypad7},
    {Qt::Key_8, Key::keypad8},         {Qt::Key_9, Key::keypad9},
    {Qt::Key_Period, Key::keypadDecimal}, {Qt::Key_Asterisk, Key::keypadMultiply},
    {Qt::Key_Plus, Key::keypadAdd},    {Qt::Key_Minus, Key::keypadSubtract},
    {Qt::Key_Slash, Key::keypadDivide}, {Qt::Key_Enter, Key::keypadEnter},
    {Qt::Key_Equal, Key::keypadEqual}, {Qt::Key_Clear, Key::keypadBegin},
};

// The stand-in for the platform's key bindings: the command of a key, and of the key with
// Shift where that differs. Control, Alt and Super do not change the command.
struct KeyBinding {
    int key;
    std::string_view selector;
    std::string_view shiftedSelector;
};

constexpr KeyBinding kKeyBindings[] = {
    {Qt::Key_Return, "insertNewline:", "insertNewline:"},
    {Qt::Key_Enter, "insertNewline:", "insertNewline:"},
    {Qt::Key_Tab, "insertTab:", "insertBacktab:"},
    {Qt::Key_Escape, "cancelOperation:", "cancelOperation:"},
    {Qt::Key_Backspace, "deleteBackward:", "deleteBackward:"},
    {Qt::Key_Up, "moveUp:", "moveUp:"},
    {Qt::Key_Down, "moveDown:", "moveDown:"},
    {Qt::Key_Left, "moveLeft:", "moveLeft:"},
    {Qt::Key_Right, "moveRight:", "moveRight:"},
    {Qt::Key_Home, "scrollToBeginningOfDocument:", "scrollToBeginningOfDocument:"},
    {Qt::Key_End, "scrollToEndOfDocument:", "scrollToEndOfDocument:"},
    {Qt::Key_PageUp, "scrollPageUp:", "pageUpAndModifySelection:"},
    {Qt::Key_PageDown, "scrollPageDown:", "pageDownAndModifySelection:"},
};

// Modifier keys: the Kitty key on the left and on the right, and the Qt modifier they hold.
struct ModifierKey {
    int key;
    std::optional<Key> left;
    std::optional<Key> right;
    Qt::KeyboardModifier modifier;
};

constexpr ModifierKey kModifierKeys[] = {
    {Qt::Key_Shift, Key::leftShift, Key::rightShift, Qt::ShiftModifier},
    {Qt::Key_Control, Key::leftControl, Key::rightControl, Qt::ControlModifier},
    {Qt::Key_Alt, Key::leftAlt, Key::rightAlt, Qt::AltModifier},
    {Qt::Key_Meta, Key::leftSuper, Key::rightSuper, Qt::MetaModifier},
    {Qt::Key_Super_L, Key::leftSuper, Key::leftSuper, Qt::MetaModifier},
    {Qt::Key_Super_R, Key::rightSuper, Key::rightSuper, Qt::MetaModifier},
    {Qt::Key_CapsLock, Key::capsLock, Key::capsLock, Qt::NoModifier},
    // AltGr picks characters; it is no modifier of the report.
    {Qt::Key_AltGr, std::nullopt, std::nullopt, Qt::NoModifier},
};

// Native scan codes are X11 key codes: the evdev code plus 8.
constexpr int kX11KeycodeOffset = 8;
// X11's LockMask in the native modifiers: Caps Lock is on.
constexpr quint32 kX11LockMask = 0x2;

// The right-hand modifier keys by evdev code: right Shift, Control, Alt and Super.
constexpr int kRightModifierScanCodes[] = {54, 97, 100, 126};

// The US layout's characters by evdev code, 0 where the key types none of the 48.
constexpr std::string_view kUsLayoutByScanCode{"\0\0"
                                               "1234567890-="
                                               "\0\0"
                                               "qwertyuiop[]"
                                               "\0\0"
                                               "asdfghjkl;'`"
                                               "\0"
                                               "\\zxcvbnm,./"
                                               "\0\0\0"
                                               " ",
                                               58};
static_assert(kUsLayoutByScanCode[30] == 'a' && kUsLayoutByScanCode[57] == ' ');

// Without a scan code, the physical key is guessed from Qt's key: on the US layout each of
// these characters is typed by the key of the character below it in the unshifted row.
constexpr std::string_view kUsUnshiftedRow = "`1234567890-=[]\\;',./ abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kUsShiftedRow = "~!@#$%^&*()_+{}|:\"<>? ABCDEFGHIJKLMNOPQRSTUVWXYZ";
static_assert(kUsUnshiftedRow.size() == kUsShiftedRow.size());

constexpr std::array<char, 128> makeUsLayoutByQtKey()
{
    std::array<char, 128> table{};
    for (size_t i = 0; i < kUsUnshiftedRow.size(); ++i) {
        table[size_t(kUsUnshiftedRow[i])] = kUsUnshiftedRow[i];
        table[size_t(kUsShiftedRow[i])] = kUsUnshiftedRow[i];
    }
    return table;
}

constexpr auto kUsLayoutByQtKey = makeUsLayoutByQtKey();

std::optional<char32_t> usLayoutKey(int key, quint32 nativeScanCode)
{
    char c = 0;
    if (nativeScanCode != 0) {
        const int code = int(nativeScanCode) - kX11KeycodeOffset;
        if (code >= 0 && code < int(kUsLayoutByScanCode.size())) c = kUsLayoutByScanCode[size_t(code)];
    } else if (key >= 0 && key < int(kUsLayoutByQtKey.size())) {
        c = kUsLayoutByQtKey[size_t(key)];
    }
    if (c == 0) return std::nullopt;
    return char32_t(c);
}

// Qt's keys for characters are the characters themselves (letters in upper case); the others
// lie at 0x01000000 and above.
constexpr int kFirstSpecialQtKey = 0x01000000;

std::u32string charactersIgnoringModifiers(int key, bool shift, const std::u32string& text)
{
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) return std::u32string(1, kF1FunctionKey + char32_t(key - Qt::Key_F1));
    if (auto c = lookUp(kKeyCharacters, key)) return std::u32string(1, *c);
    // Control turns the text into a control character; the key still names the character.
    if (isPlainPrintableText(text)) return text;
    if (key >= 0x20 && key < kFirstSpecialQtKey) {
        const char32_t c = char32_t(key);
        return std::u32string(1, shift ? QChar::toUpper(c) : QChar::toLower(c));
    }
    return {};
}

} // namespace

bool isPlainPrintableText(std::u32string_view text)
{
    if (text.empty()) return false;
    for (char32_t c : text) {
        if (c < 32 || (c >= 127 && c <= 159)) return false;
    }
    return true;
}

KeyInput translateKeyEvent(const QKeyEvent& event)
{
    KeyInput input;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    int key = event.key();
    // Qt names Shift+Tab apart; the bindings see Tab with Shift.
    input.shift = modifiers.testFlag(Qt::ShiftModifier) || key == Qt::Key_Backtab;
    if (key == Qt::Key_Backtab) key = Qt::Key_Tab;
    input.control = modifiers.testFlag(Qt::ControlModifier);
    input.option = modifiers.testFlag(Qt::AltModifier);
    input.command = modifiers.testFlag(Qt::MetaModifier);
    input.numericPad = modifiers.testFlag(Qt::KeypadModifier);
    input.capsLock = (event.nativeModifiers() & kX11LockMask) != 0;
    input.isRepeat = event.isAutoRepeat();
    input.pressed = event.type() == QEvent::KeyPress;
    const quint32 scanCode = event.nativeScanCode();

    for (const ModifierKey& m : kModifierKeys) {
        if (m.key != key) continue;
        input.isModifierKey = true;
        const int code = int(scanCode) - kX11KeycodeOffset;
        const bool right = std::find(std::begin(kRightModifierScanCodes), std::end(kRightModifierScanCodes), code) !=
                           std::end(kRightModifierScanCodes);
        input.modifierKey = right ? m.right : m.left;
        // Qt gives the modifiers from before the change; the key's own state is the new one.
        const bool held = input.pressed;
        switch (m.modifier) {
        case Qt::ShiftModifier: input.shift = held; break;
        case Qt::ControlModifier: input.control = held; break;
        case Qt::AltModifier: input.option = held; break;
        case Qt::MetaModifier: input.command = held; break;
        default: break;
        }
        return input;
    }

    const std::u32string text = event.text().toStdU32String();
    input.charactersIgnoringModifiers = charactersIgnoringModifiers(key, input.shift, text);
    input.characters = isPlainPrintableText(text) ? text : input.charactersIgnoringModifiers;
    if (input.numericPad) {
        input.keypadKey = lookUp(kKeypadKeys, key);
    } else {
        input.baseLayoutKey = usLayoutKey(key, scanCode);
    }
    for (const KeyBinding& b : kKeyBindings) {
        if (b.key != key) continue;
        input.keyBinding = input.shift ? b.shiftedSelector : b.selector;
        break;
    }
    return input;
}

} // namespace corvix
