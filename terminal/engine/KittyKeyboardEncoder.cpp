#include "terminal/engine/KittyKeyboardEncoder.hpp"

#include "terminal/screen/UnicodeProperties.hpp"
#include "terminal/screen/Utf8.hpp"

#include <array>
#include <charconv>
#include <string_view>

namespace corvix {

namespace {

using Bytes = std::vector<uint8_t>;
using Key = KittyFunctionalKey;
using Mods = KittyKeyboardModifiers;
using EventType = KittyKeyboardEventType;

enum class EncodingKind : uint8_t {
    special, // escape, enter, tab, backspace: own legacy bytes, CSI-u code when reported
    letter,  // CSI 1 ; m letter
    tilde,   // CSI number ; m ~
    csiU,    // CSI code ; m u
};

struct FunctionalEncoding {
    EncodingKind kind;
    uint32_t code; // the letter for letter keys
};

constexpr int kFunctionalKeyCount = int(Key::isoLevel5Shift) + 1;

constexpr std::array<FunctionalEncoding, kFunctionalKeyCount> makeFunctionalEncodings()
{
    std::array<FunctionalEncoding, kFunctionalKeyCount> t{};
    auto set = [&t](Key k, EncodingKind kind, uint32_t code) { t[size_t(k)] = {kind, code}; };
    // Runs of consecutive keys with consecutive CSI-u codes.
    auto run = [&t](Key first, Key last, uint32_t code) {
        for (int k = int(first); k <= int(last); ++k) t[size_t(k)] = {EncodingKind::csiU, code++};
    };
    set(Key::escape, EncodingKind::special, 27);
    set(Key::enter, EncodingKind::special, 13);
    set(Key::tab, EncodingKind::special, 9);
    set(Key::backspace, EncodingKind::special, 127);
    set(Key::insert, EncodingKind::tilde, 2);
    set(Key::deleteKey, EncodingKind::tilde, 3);
    set(Key::up, EncodingKind::letter, 'A');
    set(Key::down, EncodingKind::letter, 'B');
    set(Key::left, EncodingKind::letter, 'D');
    set(Key::right, EncodingKind::letter, 'C');
    set(Key::home, EncodingKind::letter, 'H');
    set(Key::end, EncodingKind::letter, 'F');
    set(Key::pageUp, EncodingKind::tilde, 5);
    set(Key::pageDown, EncodingKind::tilde, 6);
    set(Key::f1, EncodingKind::letter, 'P');
    set(Key::f2, EncodingKind::letter, 'Q');
    set(Key::f3, EncodingKind::tilde, 13);
    set(Key::f4, EncodingKind::letter, 'S');
    const uint32_t f5to12[] = {15, 17, 18, 19, 20, 21, 23, 24};
    for (int i = 0; i < 8; ++i) set(Key(int(Key::f5) + i), EncodingKind::tilde, f5to12[i]);
    run(Key::f13, Key::f35, 57376);
    set(Key::menu, EncodingKind::csiU, 57363);
    run(Key::capsLock, Key::pause, 57358);
    run(Key::keypad0, Key::keypadSeparator, 57399);
    run(Key::keypadLeft, Key::keypadBegin, 57417);
    run(Key::mediaPlay, Key::mediaRecord, 57428);
    run(Key::volumeDown, Key::volumeMute, 57438);
    run(Key::leftShift, Key::isoLevel5Shift, 57441);
    return t;
}

constexpr auto kFunctionalEncodings = makeFunctionalEncodings();

static_assert(kFunctionalKeyCount == 111);
static_assert(kFunctionalEncodings[size_t(Key::f35)].code == 57398);
static_assert(kFunctionalEncodings[size_t(Key::keypadBegin)].code == 57427);
static_assert(kFunctionalEncodings[size_t(Key::isoLevel5Shift)].code == 57454);

constexpr FunctionalEncoding functionalEncoding(Key key)
{
    return kFunctionalEncodings[size_t(key)];
}

constexpr bool isModifierKey(Key key)
{
    return key >= Key::leftShift;
}

constexpr bool isFunctional(const KittyKey& key, Key which)
{
    return key.kind == KittyKey::Kind::functional && key.functionalKey == which;
}

// Ctrl with these ASCII characters gives one control byte; kNoMapping marks the rest.
constexpr uint8_t kNoMapping = 0xFF;

constexpr std::array<uint8_t, 128> makeControlMapping()
{
    std::array<uint8_t, 128> t{};
    for (auto& b : t) b = kNoMapping;
    for (int c = 'a'; c <= 'z'; ++c) t[c] = uint8_t(c - 'a' + 1);
    const std::pair<char, uint8_t> others[] = {
        {' ', 0x00}, {'/', 0x1F}, {'0', 0x30}, {'1', 0x31}, {'2', 0x00}, {'3', 0x1B},
        {'4', 0x1C}, {'5', 0x1D}, {'6', 0x1E}, {'7', 0x1F}, {'8', 0x7F}, {'9', 0x39},
        {'?', 0x7F}, {'@', 0x00}, {'[', 0x1B}, {'\\', 0x1C}, {']', 0x1D}, {'^', 0x1E},
        {'_', 0x1F}, {'~', 0x1E},
    };
    for (auto [c, b] : others) t[uint8_t(c)] = b;
    return t;
}

constexpr auto kControlMapping = makeControlMapping();

std::optional<uint8_t> legacyControlMapping(uint32_t scalar)
{
    for (uint32_t s : {uint32_t(UnicodeProperties::simpleLowercase(scalar)), scalar}) {
        if (s < kControlMapping.size() && kControlMapping[s] != kNoMapping) {
            return kControlMapping[s];
        }
    }
    return std::nullopt;
}

constexpr bool isScalar(uint32_t v)
{
    return v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF);
}

// Alternate keys that are not scalars count as not given.
constexpr std::optional<uint32_t> validScalar(std::optional<uint32_t> v)
{
    return v && isScalar(*v) ? v : std::nullopt;
}

constexpr bool isControlScalar(char32_t c)
{
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F);
}

bool containsControlScalars(std::string_view text)
{
    for (size_t pos = 0; pos < text.size();) {
        if (isControlScalar(Utf8::decodeNext(text, pos))) return true;
    }
    return false;
}

// The text's scalars without control scalars.
std::u32string textCodepoints(const std::optional<std::string>& text)
{
    std::u32string out;
    if (!text) return out;
    for (size_t pos = 0; pos < text->size();) {
        char32_t c = Utf8::decodeNext(*text, pos);
        if (!isControlScalar(c)) out.push_back(c);
    }
    return out;
}

void appendText(Bytes& out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
}

void appendNumber(Bytes& out, int64_t n)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, n);
    out.insert(out.end(), buf, r.ptr);
}

void appendScalar(Bytes& out, uint32_t scalar)
{
    std::string s;
    Utf8::append(s, char32_t(scalar));
    appendText(out, s);
}

Bytes csi()
{
    Bytes out;
    out.reserve(16);
    out.push_back(0x1B);
    out.push_back('[');
    return out;
}

std::optional<EventType> reportedEventType(const KittyKeyEvent& event, bool includeEventType)
{
    if (includeEventType && event.eventType != EventType::press) return event.eventType;
    return std::nullopt;
}

Mods withoutLocks(Mods m, bool includeLocks)
{
    return includeLocks ? m : m & ~(Mods::capsLock | Mods::numLock);
}

void appendModifierField(Bytes& out, Mods m, std::optional<EventType> eventType)
{
    appendNumber(out, int64_t(m.rawValue) + 1);
    if (eventType) {
        out.push_back(':');
        appendNumber(out, int(*eventType));
    }
}

// CSI letter, or CSI 1 ; m[:type] letter when there is anything to say.
Bytes buildCsiWithModifier(char letter, Mods modifiers, std::optional<EventType> eventType)
{
    Bytes out = csi();
    if (!modifiers.isEmpty() || eventType) {
        out.push_back('1');
        out.push_back(';');
        appendModifierField(out, modifiers, eventType);
    }
    out.push_back(uint8_t(letter));
    return out;
}

// CSI number ~, or CSI number ; m[:type] ~.
Bytes buildCsiWithModifier(uint32_t number, Mods modifiers, std::optional<EventType> eventType)
{
    Bytes out = csi();
    appendNumber(out, number);
    if (!modifiers.isEmpty() || eventType) {
        out.push_back(';');
        appendModifierField(out, modifiers, eventType);
    }
    out.push_back('~');
    return out;
}

uint32_t keyCode(const KittyKey& key)
{
    switch (key.kind) {
    case KittyKey::Kind::unicode: return key.scalar;
    case KittyKey::Kind::functional: {
        auto enc = functionalEncoding(key.functionalKey);
        return enc.kind == EncodingKind::csiU || enc.kind == EncodingKind::special ? enc.code : 0;
    }
    case KittyKey::Kind::none: break;
    }
    return 0;
}

Bytes encodeCsiU(const KittyKeyEvent& event, std::optional<uint32_t> overrideKeyCode,
                 bool includeText, bool includeAlternates, bool includeEventType, bool includeLocks)
{
    Mods m = withoutLocks(event.modifiers, includeLocks);
    auto eventType = reportedEventType(event, includeEventType);
    std::u32string codepoints = includeText ? textCodepoints(event.text) : std::u32string();

    Bytes out = csi();
    appendNumber(out, overrideKeyCode ? *overrideKeyCode : keyCode(event.key));
    if (includeAlternates) {
        auto shifted = validScalar(event.shiftedKey);
        auto base = validScalar(event.baseLayoutKey);
        bool wroteShifted = false;
        if (event.modifiers.contains(Mods::shift) && shifted) {
            out.push_back(':');
            appendNumber(out, *shifted);
            wroteShifted = true;
        }
        if (base) {
            if (!wroteShifted) out.push_back(':');
            out.push_back(':');
            appendNumber(out, *base);
        }
    }
    bool wroteModifiers = !m.isEmpty() || eventType;
    if (wroteModifiers) {
        out.push_back(';');
        appendModifierField(out, m, eventType);
    }
    if (!codepoints.empty()) {
        out.push_back(';');
        if (!wroteModifiers) out.push_back(';');
        for (size_t i = 0; i < codepoints.size(); ++i) {
            if (i) out.push_back(':');
            appendNumber(out, codepoints[i]);
        }
    }
    out.push_back('u');
    return out;
}

// Legacy terminals send a key again on every auto-repeat, so a repeat counts as a press here;
// only a release has no legacy form.
std::optional<Bytes> legacyTextKeySequence(const KittyKeyEvent& event)
{
    if (event.key.kind != KittyKey::Kind::unicode || !isScalar(event.key.scalar)) {
        return std::nullopt;
    }
    if (event.eventType == EventType::release) return std::nullopt;
    Mods m = event.modifiers;
    if (!(m & (Mods::super | Mods::hyper | Mods::meta)).isEmpty()) return std::nullopt;
    if (m.contains(Mods::shift | Mods::ctrl)) return std::nullopt;

    Bytes out;
    if (m.contains(Mods::alt)) out.push_back(0x1B);
    if (m.contains(Mods::ctrl)) {
        if (auto b = legacyControlMapping(event.key.scalar)) {
            out.push_back(*b);
            return out;
        }
    }
    if (event.text && !event.text->empty()) {
        appendText(out, *event.text);
        return out;
    }
    auto shifted = validScalar(event.shiftedKey);
    appendScalar(out, m.contains(Mods::shift) && shifted ? *shifted : event.key.scalar);
    return out;
}

} // namespace

std::optional<Bytes> KittyKeyboardEncoder::legacySpecialKeySequence(
    KittyFunctionalKey key, KittyKeyboardModifiers modifiers, KittyKeyboardEventType eventType) const
{
    // See legacyTextKeySequence: a repeat is sent like a press.
    if (eventType == EventType::release) return std::nullopt;
    Bytes out;
    if (modifiers.contains(Mods::alt)) out.push_back(0x1B);
    switch (key) {
    case Key::escape: out.push_back(0x1B); break;
    case Key::enter: out.push_back(0x0D); break;
    case Key::tab:
        if (modifiers.contains(Mods::shift)) {
            appendText(out, "\x1b[Z");
        } else {
            out.push_back(0x09);
        }
        break;
    case Key::backspace:
        out.push_back(modifiers.contains(Mods::ctrl) || backspaceSendsControlH ? 0x08 : 0x7F);
        break;
    default: return std::nullopt;
    }
    return out;
}

std::optional<Bytes> KittyKeyboardEncoder::encodeNonText(const KittyKeyEvent& event,
                                                         bool disambiguate, bool includeEventType,
                                                         bool includeAlternates,
                                                         bool includeLocks) const
{
    Mods m = withoutLocks(event.modifiers, includeLocks);
    auto eventType = reportedEventType(event, includeEventType);
    bool extras = !m.isEmpty() || eventType;
    auto csiU = [&](std::optional<uint32_t> code) {
        return encodeCsiU(event, code, false, includeAlternates, includeEventType, includeLocks);
    };

    switch (event.key.kind) {
    case KittyKey::Kind::unicode:
        if (disambiguate) return csiU(event.key.scalar);
        if (auto legacy = legacyTextKeySequence(event)) return legacy;
        return csiU(std::nullopt);
    case KittyKey::Kind::none: return csiU(std::nullopt);
    case KittyKey::Kind::functional: break;
    }

    Key key = event.key.functionalKey;
    auto enc = functionalEncoding(key);
    switch (enc.kind) {
    case EncodingKind::special:
        // Under disambiguate alone a bare Enter, Tab or Backspace keeps its legacy byte.
        if (disambiguate && (key == Key::escape || extras)) return csiU(enc.code);
        return legacySpecialKeySequence(key, event.modifiers, event.eventType);
    case EncodingKind::csiU: return csiU(enc.code);
    case EncodingKind::tilde: return buildCsiWithModifier(enc.code, m, eventType);
    case EncodingKind::letter:
        if (disambiguate || extras) return buildCsiWithModifier(char(enc.code), m, eventType);
        bool ss3 = key == Key::f1 || key == Key::f2 || key == Key::f4 || applicationCursor;
        return Bytes{0x1B, uint8_t(ss3 ? 'O' : '['), uint8_t(enc.code)};
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> KittyKeyboardEncoder::encode(const KittyKeyEvent& event) const
{
    const bool allKeys = flags.contains(KittyKeyboardFlags::reportAllKeys);
    const bool disambiguate = flags.contains(KittyKeyboardFlags::disambiguate) || allKeys;
    const bool events = flags.contains(KittyKeyboardFlags::reportEvents);
    const bool alternates = flags.contains(KittyKeyboardFlags::reportAlternates);
    const bool release = event.eventType == EventType::release;
    const Mods mods = event.modifiers;
    const KittyKey& key = event.key;
    const bool functional = key.kind == KittyKey::Kind::functional;
    const bool enterTabBackspace = isFunctional(key, Key::enter) || isFunctional(key, Key::tab) ||
                                   isFunctional(key, Key::backspace);

    const bool textFlag = allKeys && flags.contains(KittyKeyboardFlags::reportText) && !release &&
                          (mods & ~(Mods::shift | Mods::capsLock | Mods::numLock)).isEmpty();

    if (release) {
        if (!events) return std::nullopt;
        if (!allKeys && enterTabBackspace) return std::nullopt;
    }
    const bool modifierKey = functional && isModifierKey(key.functionalKey);
    if (event.composing && !(modifierKey && allKeys)) return std::nullopt;
    if (!allKeys && modifierKey) return std::nullopt;

    auto nonText = [&] { return encodeNonText(event, disambiguate, events, alternates, true); };
    auto plainText = [&]() -> std::optional<Bytes> {
        if (release) return std::nullopt;
        return Bytes(event.text->begin(), event.text->end());
    };

    if (event.text && !event.text->empty()) {
        if ((isFunctional(key, Key::enter) || isFunctional(key, Key::backspace)) &&
            !containsControlScalars(*event.text)) {
            return plainText();
        }
        if (!allKeys) {
            if (functional) return nonText();
            if (alternates && (mods.contains(Mods::shift) || validScalar(event.shiftedKey) ||
                               validScalar(event.baseLayoutKey))) {
                return nonText();
            }
            // `disambiguate` here already includes reportAllKeys.
            if (mods.contains(Mods::alt) && disambiguate) return nonText();
            if (!mods.contains(Mods::alt) && mods.contains(Mods::ctrl) && disambiguate) {
                return nonText();
            }
            return plainText();
        }
    } else if (!allKeys) {
        return nonText();
    }

    // Every key is reported as an escape sequence.
    auto csiU = [&](std::optional<uint32_t> code, bool includeText) {
        return encodeCsiU(event, code, includeText, alternates, events, true);
    };
    if (!functional) return csiU(std::nullopt, textFlag);
    auto enc = functionalEncoding(key.functionalKey);
    auto eventType = reportedEventType(event, events);
    switch (enc.kind) {
    case EncodingKind::special:
        return csiU(enc.code, key.functionalKey == Key::escape ? false : textFlag);
    case EncodingKind::letter: return buildCsiWithModifier(char(enc.code), mods, eventType);
    case EncodingKind::tilde: return buildCsiWithModifier(enc.code, mods, eventType);
    case EncodingKind::csiU: return csiU(enc.code, textFlag);
    }
    return std::nullopt;
}

} // namespace corvix
