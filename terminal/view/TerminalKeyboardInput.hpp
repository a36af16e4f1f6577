#pragma once

#include "terminal/engine/KittyKeyboardProtocol.hpp"
#include "terminal/view/KeyTranslation.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QPointer>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

class QInputMethodEvent;
class QKeyEvent;
class QLabel;

namespace corvix {

// The view's keyboard and text input: keys in the legacy encodings and the Kitty protocol,
// key-binding commands, typed and pasted text, and the input method's composition. Everything
// leaves through the view's `send`.
class TerminalKeyboardInput {
public:
    using TextRange = TerminalView::TextRange;

    explicit TerminalKeyboardInput(TerminalView& view);
    ~TerminalKeyboardInput();
    TerminalKeyboardInput(const TerminalKeyboardInput&) = delete;
    TerminalKeyboardInput& operator=(const TerminalKeyboardInput&) = delete;

    // Qt's key events. A press returns false for a modifier key, which goes on to the widget too.
    bool keyPress(const QKeyEvent& event);
    void keyRelease(const QKeyEvent& event);
    void inputMethodEvent(const QInputMethodEvent& event);

    void insertText(const QString& text, bool isPaste);
    void doCommand(std::string_view selector);
    void setMarkedText(const QString& text, TextRange selectedRange);
    void unmarkText();
    bool hasMarkedText() const { return markedTextStorage_.has_value(); }
    TextRange markedRange() const;

private:
    // A key handed to the key bindings under the Kitty protocol, kept for the text or command
    // it turns into.
    struct PendingKittyKeyEvent {
        KeyInput event;
        KittyKeyboardEventType eventType = KittyKeyboardEventType::press;
    };
    void keyDown(const KeyInput& key);
    void legacyKeyDown(const KeyInput& key);
    void kittyKeyDown(const KeyInput& key, KittyKeyboardFlags flags);
    void keyUp(const KeyInput& key);
    // A modifier key went down or up.
    void flagsChanged(const KeyInput& key);
    // The key bindings: a command, typed text, or nothing.
    void interpretKeyEvent(const KeyInput& key);
    // Alt counts as the Kitty `alt` when `altFollowsOption` or Option-as-Meta is on.
    KittyKeyboardModifiers kittyModifiers(const KeyInput& key, bool altFollowsOption) const;
    KittyKeyEvent kittyFunctionalKeyEvent(KittyFunctionalKey k, const KeyInput& key, KittyKeyboardEventType type,
                                          std::optional<std::string> text) const;
    std::optional<KittyKeyEvent> kittyTextEvent(const KeyInput& key, KittyKeyboardEventType type,
                                                std::optional<std::string> text) const;
    std::optional<KittyKeyEvent> kittyKeyEvent(const KeyInput& key, KittyKeyboardEventType type,
                                               std::optional<std::string> text) const;
    // Encodes with the terminal's current flags; false when the encoder gives nothing to send.
    bool sendKittyKeyEvent(const KittyKeyEvent& event);
    bool sendKittyFunctionalKey(KittyFunctionalKey key, KittyKeyboardModifiers modifiers,
                                KittyKeyboardEventType eventType);
    void updateMarkedTextOverlay();
    Terminal& terminal() const;

    TerminalView& view_;
    std::optional<PendingKittyKeyEvent> pendingKittyKeyEvent_;
    bool kittyIsComposing_ = false;
    std::optional<QString> markedTextStorage_;
    TextRange markedSelectedRange_;
    QPointer<QLabel> markedTextOverlay_;
};

} // namespace corvix
