// Keys, typed and pasted text, key-binding commands and input-method composition.
#include "terminal/view/TerminalKeyboardInput.hpp"

#include "terminal/engine/EscapeSequences.hpp"
#include "terminal/engine/KittyKeyboardEncoder.hpp"
#include "terminal/view/TerminalMouseInput.hpp"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace corvix {

namespace {

using Key = KittyFunctionalKey;
using EventType = KittyKeyboardEventType;
using Flags = KittyKeyboardFlags;
using Mods = KittyKeyboardModifiers;

std::optional<Key> lookUp(std::initializer_list<std::pair<char32_t, Key>> table, char32_t c)
{
    for (const auto& [k, v] : table) {
        if (k == c) return v;
    }
    return std::nullopt;
}

// Function-key characters as the Kitty protocol's keys.
std::optional<Key> functionKeyFor(char32_t c)
{
    if (c >= kF1FunctionKey && c <= kF35FunctionKey) return Key(int(Key::f1) + int(c - kF1FunctionKey));
    return lookUp({{kUpArrowFunctionKey, Key::up},
                   {kDownArrowFunctionKey, Key::down},
                   {kLeftArrowFunctionKey, Key::left},
                   {kRightArrowFunctionKey, Key::right},
                   {kInsertFunctionKey, Key::insert},
                   {kDeleteFunctionKey, Key::deleteKey},
                   {kHomeFunctionKey, Key::home},
                   {kEndFunctionKey, Key::end},
                   {kPageUpFunctionKey, Key::pageUp},
                   {kPageDownFunctionKey, Key::pageDown},
                   {kPrintScreenFunctionKey, Key::printScreen},
                   {kScrollLockFunctionKey, Key::scrollLock},
                   {kPauseFunctionKey, Key::pause},
                   {kMenuFunctionKey, Key::menu}},
                  c);
}

// The same keys on the keypad (Num Lock off).
std::optional<Key> keypadVariantFor(char32_t c)
{
    return lookUp({{kUpArrowFunctionKey, Key::keypadUp},
                   {kDownArrowFunctionKey, Key::keypadDown},
                   {kLeftArrowFunctionKey, Key::keypadLeft},
                   {kRightArrowFunctionKey, Key::keypadRight},
                   {kInsertFunctionKey, Key::keypadInsert},
                   {kDeleteFunctionKey, Key::keypadDelete},
                   {kHomeFunctionKey, Key::keypadHome},
                   {kEndFunctionKey, Key::keypadEnd},
                   {kPageUpFunctionKey, Key::keypadPageUp},
                   {kPageDownFunctionKey, Key::keypadPageDown}},
                  c);
}

std::optional<Key> kittyFunctionalKey(const KeyInput& key)
{
    if (key.keypadKey) return key.keypadKey;
    if (key.charactersIgnoringModifiers.empty()) return std::nullopt;
    const char32_t c = key.charactersIgnoringModifiers[0];
    // Only keypad keys carry the keypad flag in Qt, so the main block's arrows need no exclusion.
    if (key.numericPad) {
        if (auto k = keypadVariantFor(c)) return k;
    }
    return functionKeyFor(c);
}

std::string utf8(const std::u32string& text)
{
    return QString::fromStdU32String(text).toStdString();
}

// Keypad keys that type something report that text.
std::optional<std::string> kittyTextForFunctionalKey(Key k, const KeyInput& key)
{
    const bool typing = (k >= Key::keypad0 && k <= Key::keypadAdd) || k == Key::keypadEqual || k == Key::keypadSeparator;
    if (!typing || key.characters.empty()) return std::nullopt;
    return utf8(key.characters);
}

// Control with one ASCII character: the C0 code it stands for, or nothing.
std::optional<uint8_t> applyControlToEventCharacters(const std::u32string& text)
{
    if (text.size() != 1 || text[0] > 0x7F) return std::nullopt;
    const char32_t c = text[0];
    if (c >= 'A' && c <= 'Z') return uint8_t(c - 64);
    if (c >= 'a' && c <= 'z') return uint8_t(c - 96);
    constexpr std::pair<char32_t, uint8_t> kOthers[] = {{'[', 27}, {'\\', 28}, {']', 29}, {'^', 30},
                                                         {'6', 30}, {'_', 31}, {' ', 0}};
    for (const auto& [k, v] : kOthers) {
        if (k == c) return v;
    }
    return std::nullopt;
}

// Every occurrence of `marker`, including one that a removal joins from the text around it.
std::string withoutMarker(std::string text, std::string_view marker)
{
    if (marker.empty()) return text;
    for (size_t at = text.find(marker); at != std::string::npos;) {
        text.erase(at, marker.size());
        at = text.find(marker, at >= marker.size() ? at - marker.size() + 1 : 0);
    }
    return text;
}

// Pasted text inside the brackets must not be able to leave them: the end marker and every
// C0 control but tab, CR and LF (ESC above all) are taken out.
std::string sanitizedForBracketedPaste(std::string_view text)
{
    const std::vector<uint8_t> end = EscapeSequences::bracketedPasteEnd();
    const std::string marker(end.begin(), end.end());
    std::string out;
    out.reserve(text.size());
    for (char c : withoutMarker(std::string(text), marker)) {
        const auto b = uint8_t(c);
        if (b < 0x20 && b != '\t' && b != '\r' && b != '\n') continue;
        out.push_back(c);
    }
    // A marker that a host set without controls can be joined by taking them out.
    return withoutMarker(std::move(out), marker);
}

enum class Command {
    insertNewline,
    cancelOperation,
    deleteBackward,
    moveUp,
    moveDown,
    moveLeft,
    moveRight,
    insertTab,
    insertBacktab,
    home,
    end,
    pageUp,
    pageDown,
    pageDownAndModifySelection,
    moveToLeftEndOfLine,
    moveToRightEndOfLine,
};

struct CommandEntry {
    std::string_view selector;
    Command command;
    // The key reported for it under the Kitty protocol.
    std::optional<Key> kittyKey;
};

constexpr CommandEntry kCommands[] = {
    {"insertNewline:", Command::insertNewline, Key::enter},
    {"cancelOperation:", Command::cancelOperation, Key::escape},
    {"deleteBackward:", Command::deleteBackward, Key::backspace},
    {"moveUp:", Command::moveUp, Key::up},
    {"moveDown:", Command::moveDown, Key::down},
    {"moveLeft:", Command::moveLeft, Key::left},
    {"moveRight:", Command::moveRight, Key::right},
    {"insertTab:", Command::insertTab, Key::tab},
    {"insertBacktab:", Command::insertBacktab, Key::tab},
    {"moveToBeginningOfLine:", Command::home, Key::home},
    {"scrollToBeginningOfDocument:", Command::home, Key::home},
    {"moveToEndOfLine:", Command::end, Key::end},
    {"scrollToEndOfDocument:", Command::end, Key::end},
    {"scrollPageUp:", Command::pageUp, Key::pageUp},
    {"pageUp:", Command::pageUp, Key::pageUp},
    {"scrollPageDown:", Command::pageDown, Key::pageDown},
    {"pageDown:", Command::pageDown, Key::pageDown},
    {"pageDownAndModifySelection:", Command::pageDownAndModifySelection, std::nullopt},
    {"moveToLeftEndOfLine:", Command::moveToLeftEndOfLine, std::nullopt},
    {"moveToRightEndOfLine:", Command::moveToRightEndOfLine, std::nullopt},
};

} // namespace

TerminalKeyboardInput::TerminalKeyboardInput(TerminalView& view) : view_(view) {}

TerminalKeyboardInput::~TerminalKeyboardInput() = default;

Terminal& TerminalKeyboardInput::terminal() const
{
    return view_.getTerminal();
}

// ---- Key events -------------------------------------------------------------------------------

bool TerminalKeyboardInput::keyPress(const QKeyEvent& event)
{
    const KeyInput key = translateKeyEvent(event);
    if (!key.isModifierKey) {
        keyDown(key);
        return true;
    }
    // A held modifier key repeats on some systems; it changed nothing.
    if (!key.isRepeat) flagsChanged(key);
    return false;
}

void TerminalKeyboardInput::keyRelease(const QKeyEvent& event)
{
    // X11 sends a release before each auto-repeated press: the key is still held.
    if (event.isAutoRepeat()) return;
    const KeyInput key = translateKeyEvent(event);
    if (key.isModifierKey) {
        flagsChanged(key);
    } else {
        keyUp(key);
    }
}

void TerminalKeyboardInput::keyDown(const KeyInput& key)
{
    view_.selectionService().setActive(false);
    const Flags flags = terminal().keyboardEnhancementFlags();
    if (flags.isEmpty()) {
        legacyKeyDown(key);
    } else {
        kittyKeyDown(key, flags);
    }
}

void TerminalKeyboardInput::legacyKeyDown(const KeyInput& key)
{
    const std::u32string& chars = key.charactersIgnoringModifiers;
    if (key.option && key.command) {
        if (chars == U"o") view_.optionAsMetaKey = !view_.optionAsMetaKey;
        interpretKeyEvent(key);
        return;
    }
    if (view_.optionAsMetaKey && key.option) {
        if (chars.empty()) return;
        if (chars[0] == kRightArrowFunctionKey) {
            view_.send(EscapeSequences::emacsForward());
            return;
        }
        if (chars[0] == kLeftArrowFunctionKey) {
            view_.send(EscapeSequences::emacsBack());
            return;
        }
        // Meta prefixes what the key types. Other function keys type nothing: their private-use
        // characters must not reach the program, so they go on as if Alt were up.
        if (!key.hasFunctionKeyFlag()) {
            view_.send(EscapeSequences::cmdEsc());
            view_.send(utf8(chars));
            return;
        }
    }
    if (key.control) {
        if (chars.empty()) {
            interpretKeyEvent(key);
        } else if (chars[0] == kRightArrowFunctionKey) {
            view_.send(EscapeSequences::controlRight());
        } else if (chars[0] == kLeftArrowFunctionKey) {
            view_.send(EscapeSequences::controlLeft());
        } else if (auto code = applyControlToEventCharacters(chars)) {
            view_.send(std::span<const uint8_t>(&*code, 1));
        }
        return;
    }
    if (key.hasFunctionKeyFlag()) {
        const char32_t c = chars[0];
        if (c >= kF1FunctionKey && c <= kF12FunctionKey) {
            view_.send(EscapeSequences::cmdF()[c - kF1FunctionKey]);
            return;
        }
        switch (c) {
        case kDeleteFunctionKey: view_.send(EscapeSequences::cmdDelKey()); return;
        case kPageUpFunctionKey: view_.pageUp(); return;
        case kPageDownFunctionKey: view_.pageDown(); return;
        default: break;
        }
    }
    interpretKeyEvent(key);
}

void TerminalKeyboardInput::kittyKeyDown(const KeyInput& key, KittyKeyboardFlags flags)
{
    pendingKittyKeyEvent_.reset();
    if (key.option && key.command && key.charactersIgnoringModifiers == U"o") {
        view_.optionAsMetaKey = !view_.optionAsMetaKey;
        return;
    }
    const bool reportEvents = flags.contains(Flags::reportEvents);
    const EventType type = key.isRepeat && reportEvents ? EventType::repeatPress : EventType::press;
    if (auto k = kittyFunctionalKey(key)) {
        if (sendKittyKeyEvent(kittyFunctionalKeyEvent(*k, key, type, kittyTextForFunctionalKey(*k, key)))) return;
    }
    // Super is reported like Control: the key bindings give its text keys nothing to type.
    if (key.control || key.command || (view_.optionAsMetaKey && key.option)) {
        if (auto event = kittyTextEvent(key, type, std::nullopt); event && sendKittyKeyEvent(*event)) return;
    }
    // A text key's repeat is only told apart when every key is reported.
    const bool textRepeat = key.isRepeat && flags.contains(Flags::reportEvents | Flags::reportAllKeys);
    pendingKittyKeyEvent_ = PendingKittyKeyEvent{key, textRepeat ? EventType::repeatPress : EventType::press};
    interpretKeyEvent(key);
}

void TerminalKeyboardInput::interpretKeyEvent(const KeyInput& key)
{
    if (!key.keyBinding.empty()) {
        doCommand(key.keyBinding);
        return;
    }
    // Control and Super combinations are commands, not typing; function keys type nothing.
    if (key.control || key.command || key.hasFunctionKeyFlag()) return;
    if (isPlainPrintableText(key.characters)) insertText(QString::fromStdU32String(key.characters), false);
}

void TerminalKeyboardInput::keyUp(const KeyInput& key)
{
    const Flags flags = terminal().keyboardEnhancementFlags();
    if (!flags.contains(Flags::reportEvents)) return;
    const bool allKeys = flags.contains(Flags::reportAllKeys);
    const bool reportAny = key.control || key.command || allKeys || (view_.optionAsMetaKey && key.option);
    std::optional<KittyKeyEvent> event;
    if (reportAny) {
        event = kittyKeyEvent(key, EventType::release, std::nullopt);
    } else if (auto k = kittyFunctionalKey(key)) {
        event = kittyFunctionalKeyEvent(*k, key, EventType::release, std::nullopt);
    }
    if (!event) return;
    // Tab, Return and Backspace are text keys here; their releases need report-all-keys.
    const bool enterTabBackspace = event->key.kind == KittyKey::Kind::unicode &&
                                   (event->key.scalar == 9 || event->key.scalar == 13 || event->key.scalar == 127);
    if (enterTabBackspace && !allKeys) return;
    sendKittyKeyEvent(*event);
}

void TerminalKeyboardInput::flagsChanged(const KeyInput& key)
{
    view_.commandActive = key.control;
    view_.mouseInput().modifierHoverChanged();

    const Flags flags = terminal().keyboardEnhancementFlags();
    if (!flags.contains(Flags::reportAllKeys) || kittyIsComposing_ || !key.modifierKey) return;
    if (!key.pressed && !flags.contains(Flags::reportEvents)) return;
    // Here Alt is reported whenever it is held, Option-as-Meta or not.
    KittyKeyEvent event;
    event.key = KittyKey::functional(*key.modifierKey);
    event.modifiers = kittyModifiers(key, true);
    event.eventType = key.pressed ? EventType::press : EventType::release;
    event.composing = kittyIsComposing_;
    sendKittyKeyEvent(event);
}

// ---- Kitty events -----------------------------------------------------------------------------

KittyKeyboardModifiers TerminalKeyboardInput::kittyModifiers(const KeyInput& key, bool altFollowsOption) const
{
    Mods mods;
    if (key.shift) mods |= Mods::shift;
    if (key.control) mods |= Mods::ctrl;
    if (key.command) mods |= Mods::super;
    if (key.capsLock) mods |= Mods::capsLock;
    if (key.option && (altFollowsOption || view_.optionAsMetaKey)) mods |= Mods::alt;
    return mods;
}

KittyKeyEvent TerminalKeyboardInput::kittyFunctionalKeyEvent(KittyFunctionalKey k, const KeyInput& key,
                                                             KittyKeyboardEventType type,
                                                             std::optional<std::string> text) const
{
    KittyKeyEvent event;
    event.key = KittyKey::functional(k);
    event.modifiers = kittyModifiers(key, false);
    event.eventType = type;
    event.text = std::move(text);
    event.composing = kittyIsComposing_;
    return event;
}

std::optional<KittyKeyEvent> TerminalKeyboardInput::kittyTextEvent(const KeyInput& key, KittyKeyboardEventType type,
                                                                   std::optional<std::string> text) const
{
    if (key.charactersIgnoringModifiers.empty()) return std::nullopt;
    const char32_t c = QChar::toLower(key.charactersIgnoringModifiers[0]);
    KittyKeyEvent event;
    event.key = KittyKey::unicode(c);
    if (key.shift && !key.characters.empty()) event.shiftedKey = key.characters[0];
    if (key.baseLayoutKey && *key.baseLayoutKey != c) event.baseLayoutKey = key.baseLayoutKey;
    event.modifiers = kittyModifiers(key, false);
    event.eventType = type;
    event.text = std::move(text);
    event.composing = kittyIsComposing_;
    return event;
}

std::optional<KittyKeyEvent> TerminalKeyboardInput::kittyKeyEvent(const KeyInput& key, KittyKeyboardEventType type,
                                                                  std::optional<std::string> text) const
{
    if (auto k = kittyFunctionalKey(key)) return kittyFunctionalKeyEvent(*k, key, type, std::move(text));
    return kittyTextEvent(key, type, std::move(text));
}

bool TerminalKeyboardInput::sendKittyKeyEvent(const KittyKeyEvent& event)
{
    const KittyKeyboardEncoder encoder{terminal().keyboardEnhancementFlags(), terminal().applicationCursor,
                                       view_.backspaceSendsControlH};
    const auto bytes = encoder.encode(event);
    if (!bytes || bytes->empty()) return false;
    view_.send(*bytes);
    return true;
}

bool TerminalKeyboardInput::sendKittyFunctionalKey(KittyFunctionalKey key, KittyKeyboardModifiers modifiers,
                                                   KittyKeyboardEventType eventType)
{
    KittyKeyEvent event;
    event.key = KittyKey::functional(key);
    event.modifiers = modifiers;
    event.eventType = eventType;
    event.composing = kittyIsComposing_;
    return sendKittyKeyEvent(event);
}

// ---- Key-binding commands ---------------------------------------------------------------------

void TerminalKeyboardInput::doCommand(std::string_view selector)
{
    const auto entry = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [selector](const CommandEntry& e) { return e.selector == selector; });
    if (entry == std::end(kCommands)) {
        std::printf("Unhandle selector %.*s\n", int(selector.size()), selector.data());
        return;
    }
    const Command command = entry->command;
    const bool app = terminal().applicationCursor;

    if (!terminal().keyboardEnhancementFlags().isEmpty() && entry->kittyKey) {
        // Outside application-cursor mode the page keys page the view.
        if ((command == Command::pageUp || command == Command::pageDown) && !app) {
            command == Command::pageUp ? view_.pageUp() : view_.pageDown();
            return;
        }
        Mods modifiers = pendingKittyKeyEvent_ ? kittyModifiers(pendingKittyKeyEvent_->event, false) : Mods{};
        if (command == Command::insertBacktab) modifiers |= Mods::shift;
        if (sendKittyFunctionalKey(*entry->kittyKey, modifiers, EventType::press)) return;
    }

    switch (command) {
    case Command::insertNewline: view_.send(EscapeSequences::cmdRet()); break;
    case Command::cancelOperation: view_.send(EscapeSequences::cmdEsc()); break;
    case Command::deleteBackward:
        if (view_.backspaceSendsControlH) {
            view_.send(std::string_view("\x08"));
        } else {
            view_.send(EscapeSequences::cmdDel());
        }
        break;
    case Command::moveUp: view_.send(app ? EscapeSequences::moveUpApp() : EscapeSequences::moveUpNormal()); break;
    case Command::moveDown: view_.send(app ? EscapeSequences::moveDownApp() : EscapeSequences::moveDownNormal()); break;
    case Command::moveLeft: view_.sendHorizontalKey(true); break;
    case Command::moveRight: view_.sendHorizontalKey(false); break;
    case Command::insertTab: view_.send(EscapeSequences::cmdTab()); break;
    case Command::insertBacktab: view_.send(EscapeSequences::cmdBackTab()); break;
    case Command::home: view_.send(app ? EscapeSequences::moveHomeApp() : EscapeSequences::moveHomeNormal()); break;
    case Command::end: view_.send(app ? EscapeSequences::moveEndApp() : EscapeSequences::moveEndNormal()); break;
    case Command::pageUp:
        if (app) {
            view_.send(EscapeSequences::cmdPageUp());
        } else {
            view_.pageUp();
        }
        break;
    case Command::pageDown:
        if (app) {
            view_.send(EscapeSequences::cmdPageDown());
        } else {
            view_.pageDown();
        }
        break;
    case Command::pageDownAndModifySelection:
        if (!app) view_.send(EscapeSequences::cmdPageDown());
        break;
    case Command::moveToLeftEndOfLine: view_.send(EscapeSequences::emacsBack()); break;
    case Command::moveToRightEndOfLine: view_.send(EscapeSequences::emacsForward()); break;
    }
}

// ---- Text -------------------------------------------------------------------------------------

void TerminalKeyboardInput::insertText(const QString& text, bool isPaste)
{
    markedTextStorage_.reset();
    markedSelectedRange_ = {};
    // Committed text ends any composition, whichever protocol is on.
    kittyIsComposing_ = false;
    updateMarkedTextOverlay();

    const std::string bytes = text.toStdString();
    if (isPaste && terminal().bracketedPasteMode) {
        // Even an empty paste is announced to the program, as its two markers.
        pendingKittyKeyEvent_.reset();
        view_.send(EscapeSequences::bracketedPasteStart());
        const std::string clean = sanitizedForBracketedPaste(bytes);
        if (!clean.empty()) view_.send(clean);
        view_.send(EscapeSequences::bracketedPasteEnd());
        return;
    }
    if (text.isEmpty()) return;
    if (terminal().keyboardEnhancementFlags().isEmpty()) {
        view_.send(bytes);
        return;
    }

    const std::optional<PendingKittyKeyEvent> pending = std::exchange(pendingKittyKeyEvent_, std::nullopt);
    const std::u32string scalars = text.toStdU32String();
    // Alt that is not Meta types the layout's characters, which go as they are.
    if (pending && !view_.optionAsMetaKey && pending->event.option && !pending->event.control &&
        !pending->event.command && isPlainPrintableText(scalars)) {
        view_.send(bytes);
        return;
    }
    std::optional<KittyKeyEvent> event;
    if (pending && scalars.size() == 1) event = kittyTextEvent(pending->event, pending->eventType, bytes);
    if (!event) {
        event = KittyKeyEvent{};
        event->text = bytes;
    }
    sendKittyKeyEvent(*event);
}

// ---- Input methods ----------------------------------------------------------------------------

void TerminalKeyboardInput::setMarkedText(const QString& text, TextRange selectedRange)
{
    markedTextStorage_ = text.isEmpty() ? std::nullopt : std::optional<QString>(text);
    markedSelectedRange_ = selectedRange;
    kittyIsComposing_ = true;
    updateMarkedTextOverlay();
}

void TerminalKeyboardInput::unmarkText()
{
    markedTextStorage_.reset();
    markedSelectedRange_ = {};
    kittyIsComposing_ = false;
    updateMarkedTextOverlay();
}

TerminalKeyboardInput::TextRange TerminalKeyboardInput::markedRange() const
{
    if (!markedTextStorage_) return {};
    return {0, markedTextStorage_->size()};
}

void TerminalKeyboardInput::inputMethodEvent(const QInputMethodEvent& event)
{
    if (!event.commitString().isEmpty()) {
        // The commit did not come with a key press of this view: no earlier key may claim it.
        pendingKittyKeyEvent_.reset();
        insertText(event.commitString(), false);
    }
    if (!event.preeditString().isEmpty()) {
        TextRange selected;
        for (const QInputMethodEvent::Attribute& a : event.attributes()) {
            if (a.type == QInputMethodEvent::Cursor) selected = {a.start, 0};
        }
        setMarkedText(event.preeditString(), selected);
    } else if (event.commitString().isEmpty()) {
        unmarkText();
    }
}

void TerminalKeyboardInput::updateMarkedTextOverlay()
{
    if (!markedTextStorage_) {
        delete markedTextOverlay_;
        return;
    }
    if (!markedTextOverlay_) {
        markedTextOverlay_ = new QLabel(&view_);
        markedTextOverlay_->setTextFormat(Qt::PlainText);
        markedTextOverlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    QColor background = view_.nativeBackgroundColor();
    background.setAlphaF(0.9f);
    const auto rgba = [](const QColor& c) {
        return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
    };
    markedTextOverlay_->setStyleSheet(QStringLiteral("QLabel { background-color: %1; color: %2; border-radius: 3px; }")
                                         .arg(rgba(background), rgba(view_.nativeForegroundColor())));
    QFont font = view_.fonts().normal;
    font.setUnderline(true);
    markedTextOverlay_->setFont(font);
    markedTextOverlay_->setText(*markedTextStorage_);
    markedTextOverlay_->adjustSize();
    QPoint origin = view_.caretFrame().topLeft();
    const int width = view_.width();
    if (origin.x() + markedTextOverlay_->width() > width) origin.setX(std::max(0, width - markedTextOverlay_->width()));
    markedTextOverlay_->move(origin);
    markedTextOverlay_->show();
    markedTextOverlay_->raise();
}

} // namespace corvix
