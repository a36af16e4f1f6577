#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvix {

// The enhancement flags a child pushes with CSI > f u. Only the low five bits mean anything.
struct KittyKeyboardFlags {
    int rawValue = 0;

    static constexpr int knownMask = 31;

    static const KittyKeyboardFlags disambiguate;
    static const KittyKeyboardFlags reportEvents;
    static const KittyKeyboardFlags reportAlternates;
    static const KittyKeyboardFlags reportAllKeys;
    static const KittyKeyboardFlags reportText;

    constexpr bool contains(KittyKeyboardFlags o) const
    {
        return (rawValue & o.rawValue) == o.rawValue;
    }
    constexpr bool isEmpty() const { return rawValue == 0; }

    friend constexpr KittyKeyboardFlags operator|(KittyKeyboardFlags a, KittyKeyboardFlags b)
    {
        return {a.rawValue | b.rawValue};
    }
    friend constexpr KittyKeyboardFlags operator&(KittyKeyboardFlags a, KittyKeyboardFlags b)
    {
        return {a.rawValue & b.rawValue};
    }
    friend constexpr KittyKeyboardFlags operator~(KittyKeyboardFlags a) { return {~a.rawValue}; }
    constexpr KittyKeyboardFlags& operator|=(KittyKeyboardFlags o)
    {
        rawValue |= o.rawValue;
        return *this;
    }
    constexpr KittyKeyboardFlags& operator&=(KittyKeyboardFlags o)
    {
        rawValue &= o.rawValue;
        return *this;
    }
    friend constexpr bool operator==(KittyKeyboardFlags, KittyKeyboardFlags) = default;
};

inline constexpr KittyKeyboardFlags KittyKeyboardFlags::disambiguate{1};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportEvents{2};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAlternates{4};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportAllKeys{8};
inline constexpr KittyKeyboardFlags KittyKeyboardFlags::reportText{16};

// Modifiers held during a key event. On the wire the modifier field is rawValue + 1.
struct KittyKeyboardModifiers {
    int rawValue = 0;

    static const KittyKeyboardModifiers shift;
    static const KittyKeyboardModifiers alt;
    static const KittyKeyboardModifiers ctrl;
    static const KittyKeyboardModifiers super;
    static const KittyKeyboardModifiers hyper;
    static const KittyKeyboardModifiers meta;
    static const KittyKeyboardModifiers capsLock;
    static const KittyKeyboardModifiers numLock;

    constexpr bool contains(KittyKeyboardModifiers o) const
    {
        return (rawValue & o.rawValue) == o.rawValue;
    }
    constexpr bool isEmpty() const { return rawValue == 0; }

    friend constexpr KittyKeyboardModifiers operator|(KittyKeyboardModifiers a,
                                                      KittyKeyboardModifiers b)
    {
        return {a.rawValue | b.rawValue};
    }
    friend constexpr KittyKeyboardModifiers operator&(KittyKeyboardModifiers a,
                                                      KittyKeyboardModifiers b)
    {
        return {a.rawValue & b.rawValue};
    }
    friend constexpr KittyKeyboardModifiers operator~(KittyKeyboardModifiers a)
    {
        return {~a.rawValue};
    }
    constexpr KittyKeyboardModifiers& operator|=(KittyKeyboardModifiers o)
    {
        rawValue |= o.rawValue;
        return *this;
    }
    constexpr KittyKeyboardModifiers& operator&=(KittyKeyboardModifiers o)
    {
        rawValue &= o.rawValue;
        return *this;
    }
    friend constexpr bool operator==(KittyKeyboardModifiers, KittyKeyboardModifiers) = default;
};

inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::shift{1};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::alt{2};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::ctrl{4};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::super{8};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::hyper{16};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::meta{32};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::capsLock{64};
inline constexpr KittyKeyboardModifiers KittyKeyboardModifiers::numLock{128};

enum class KittyKeyboardEventType : uint8_t { press = 1, repeatPress = 2, release = 3 };

// The event type for a wire value; only 1 to 3 name one.
constexpr std::optional<KittyKeyboardEventType> kittyKeyboardEventType(int rawValue)
{
    if (rawValue < 1 || rawValue > 3) return std::nullopt;
    return static_cast<KittyKeyboardEventType>(rawValue);
}

// Keys that produce no text of their own. The last 14 are the modifier keys.
enum class KittyFunctionalKey : uint8_t {
    escape, enter, tab, backspace,
    insert, deleteKey, // `delete` is a keyword
    up, down, left, right,
    home, end,
    pageUp, pageDown,
    f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12,
    f13, f14, f15, f16, f17, f18, f19, f20, f21, f22, f23, f24,
    f25, f26, f27, f28, f29, f30, f31, f32, f33, f34, f35,
    menu,
    capsLock, scrollLock, numLock, printScreen, pause,
    keypad0, keypad1, keypad2, keypad3, keypad4, keypad5, keypad6, keypad7, keypad8, keypad9,
    keypadDecimal, keypadDivide, keypadMultiply, keypadSubtract, keypadAdd, keypadEnter,
    keypadEqual, keypadSeparator,
    keypadLeft, keypadRight, keypadUp, keypadDown, keypadPageUp, keypadPageDown, keypadHome,
    keypadEnd, keypadInsert, keypadDelete, keypadBegin,
    mediaPlay, mediaPause, mediaPlayPause, mediaReverse, mediaStop, mediaFastForward,
    mediaRewind, mediaTrackNext, mediaTrackPrevious, mediaRecord,
    volumeDown, volumeUp, volumeMute,
    leftShift, leftControl, leftAlt, leftSuper, leftHyper, leftMeta,
    rightShift, rightControl, rightAlt, rightSuper, rightHyper, rightMeta,
    isoLevel3Shift, isoLevel5Shift,
};

// What was pressed: a key's unshifted Unicode scalar, a functional key, or nothing known.
struct KittyKey {
    enum class Kind : uint8_t { none, unicode, functional };

    Kind kind = Kind::none;
    uint32_t scalar = 0;                  // when kind is unicode
    KittyFunctionalKey functionalKey{};   // when kind is functional

    static constexpr KittyKey none() { return {}; }
    static constexpr KittyKey unicode(uint32_t scalar) { return {Kind::unicode, scalar, {}}; }
    static constexpr KittyKey functional(KittyFunctionalKey key)
    {
        return {Kind::functional, 0, key};
    }

    friend constexpr bool operator==(const KittyKey&, const KittyKey&) = default;
};

// One key event as the host saw it. The encoder uses the fields as given: the host decides how
// to fill text, the alternate keys and the lock modifiers from its platform's events.
struct KittyKeyEvent {
    KittyKey key;
    KittyKeyboardModifiers modifiers;
    KittyKeyboardEventType eventType = KittyKeyboardEventType::press;
    std::optional<std::string> text;       // UTF-8
    std::optional<uint32_t> shiftedKey;    // ignored unless a Unicode scalar
    std::optional<uint32_t> baseLayoutKey; // ignored unless a Unicode scalar
    bool composing = false;
};

} // namespace corvix
