#include "terminal/engine/EscapeSequences.hpp"
#include "terminal/engine/KittyKeyboardEncoder.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace corvix;

namespace {

using F = KittyKeyboardFlags;
using M = KittyKeyboardModifiers;
using K = KittyFunctionalKey;
using T = KittyKeyboardEventType;

constexpr F kNoFlags{};
constexpr M kNoMods{};

KittyKeyEvent key(uint32_t scalar, M mods = kNoMods, std::optional<std::string> text = std::nullopt,
                  T type = T::press)
{
    KittyKeyEvent e;
    e.key = KittyKey::unicode(scalar);
    e.modifiers = mods;
    e.text = std::move(text);
    e.eventType = type;
    return e;
}

KittyKeyEvent fkey(K k, M mods = kNoMods, T type = T::press, std::optional<std::string> text = std::nullopt)
{
    KittyKeyEvent e;
    e.key = KittyKey::functional(k);
    e.modifiers = mods;
    e.eventType = type;
    e.text = std::move(text);
    return e;
}

// ESC shown as "\e" so that failures read like the sequences they are.
std::string show(const std::optional<std::vector<uint8_t>>& bytes)
{
    if (!bytes) return "(nothing)";
    std::string s;
    for (uint8_t b : *bytes) {
        if (b == 0x1B) {
            s += "\\e";
        } else if (b < 0x20 || b >= 0x7F) {
            char buf[8];
            snprintf(buf, sizeof buf, "<%02X>", b);
            s += buf;
        } else {
            s += char(b);
        }
    }
    return s;
}

std::string show(const std::string& s)
{
    return show(std::vector<uint8_t>(s.begin(), s.end()));
}

struct Case {
    const char* what;
    KittyKeyboardEncoder encoder;
    KittyKeyEvent event;
    std::optional<std::string> want; // no value: nothing is sent
};

void check(const Case& c)
{
    auto got = c.encoder.encode(c.event);
    EXPECT_EQ(show(got), c.want ? show(*c.want) : "(nothing)") << c.what;
}

KittyKeyboardEncoder enc(F flags, bool applicationCursor = false, bool backspaceSendsControlH = false)
{
    return {flags, applicationCursor, backspaceSendsControlH};
}

} // namespace

TEST(KittyKeyboardEncoder, LegacyEncoding)
{
    const Case cases[] = {
        {"plain a with text", enc(kNoFlags), key('a', kNoMods, "a"), "a"},
        {"plain a without text", enc(kNoFlags), key('a'), "a"},
        {"shift a without text uses shifted key",
         enc(kNoFlags), [] { auto e = key('a', M::shift); e.shiftedKey = 'A'; return e; }(), "A"},
        {"ctrl a", enc(kNoFlags), key('a', M::ctrl), "\x01"},
        {"ctrl upper A maps like a", enc(kNoFlags), key('A', M::ctrl), "\x01"},
        {"ctrl 2", enc(kNoFlags), key('2', M::ctrl), std::string(1, '\0')},
        {"ctrl [", enc(kNoFlags), key('[', M::ctrl), "\x1b"},
        {"ctrl space", enc(kNoFlags), key(' ', M::ctrl), std::string(1, '\0')},
        {"ctrl 8", enc(kNoFlags), key('8', M::ctrl), "\x7f"},
        {"ctrl ~", enc(kNoFlags), key('~', M::ctrl), "\x1e"},
        {"ctrl alt a", enc(kNoFlags), key('a', M::ctrl | M::alt), "\x1b\x01"},
        {"alt a without text", enc(kNoFlags), key('a', M::alt), "\x1b" "a"},
        {"alt with text sends the text alone", enc(kNoFlags), key('e', M::alt, "\xc3\xa9"), "\xc3\xa9"},
        {"ctrl with an unmapped key sends the key", enc(kNoFlags), key(0xE9, M::ctrl), "\xc3\xa9"},
        {"ctrl shift a has no legacy form", enc(kNoFlags), key('a', M::ctrl | M::shift), "\x1b[97;6u"},
        {"super a has no legacy form", enc(kNoFlags), key('a', M::super), "\x1b[97;9u"},
        {"ctrl 2 with text sends the text", enc(kNoFlags), key('2', M::ctrl, "2"), "2"},
        {"ctrl shift a with text sends the text", enc(kNoFlags), key('a', M::ctrl | M::shift, "A"), "A"},
        {"escape", enc(kNoFlags), fkey(K::escape), "\x1b"},
        {"alt escape", enc(kNoFlags), fkey(K::escape, M::alt), "\x1b\x1b"},
        {"enter", enc(kNoFlags), fkey(K::enter), "\r"},
        {"enter with its text", enc(kNoFlags), fkey(K::enter, kNoMods, T::press, "\r"), "\r"},
        {"tab", enc(kNoFlags), fkey(K::tab), "\t"},
        {"shift tab", enc(kNoFlags), fkey(K::tab, M::shift), "\x1b[Z"},
        {"backspace", enc(kNoFlags), fkey(K::backspace), "\x7f"},
        {"backspace as ^H", enc(kNoFlags, false, true), fkey(K::backspace), "\b"},
        {"ctrl backspace", enc(kNoFlags), fkey(K::backspace, M::ctrl), "\b"},
        {"alt backspace", enc(kNoFlags), fkey(K::backspace, M::alt), "\x1b\x7f"},
        {"ctrl up", enc(kNoFlags), fkey(K::up, M::ctrl), "\x1b[1;5A"},
        {"ctrl up in application mode", enc(kNoFlags, true), fkey(K::up, M::ctrl), "\x1b[1;5A"},
        {"shift F1", enc(kNoFlags), fkey(K::f1, M::shift), "\x1b[1;2P"},
        {"ctrl F5", enc(kNoFlags), fkey(K::f5, M::ctrl), "\x1b[15;5~"},
        {"alt delete", enc(kNoFlags), fkey(K::deleteKey, M::alt), "\x1b[3;3~"},
        {"F13 has only the CSI-u form", enc(kNoFlags), fkey(K::f13), "\x1b[57376u"},
        {"modifier key alone", enc(kNoFlags), fkey(K::leftShift, M::shift), std::nullopt},
        {"release without reportEvents", enc(kNoFlags), key('a', kNoMods, "a", T::release), std::nullopt},
        {"composing", enc(kNoFlags), [] { auto e = key('a', kNoMods, "a"); e.composing = true; return e; }(),
         std::nullopt},
    };
    for (const auto& c : cases) check(c);
}

// The encoder with no flags must agree with the fixed legacy tables, in both cursor modes.
TEST(KittyKeyboardEncoder, LegacyTablesForFunctionAndCursorKeys)
{
    const K fkeys[] = {K::f1, K::f2, K::f3, K::f4,  K::f5,  K::f6,
                       K::f7, K::f8, K::f9, K::f10, K::f11, K::f12};
    const auto table = EscapeSequences::cmdF();
    for (bool app : {false, true}) {
        for (size_t i = 0; i < 12; ++i) {
            // F3 is the one key where the two differ: the encoder always uses its tilde form,
            // so that a modified F3 is never CSI 1 ; m R, which reads as a cursor position report.
            if (fkeys[i] == K::f3) {
                EXPECT_EQ(show(enc(kNoFlags, app).encode(fkey(K::f3))), "\\e[13~");
                continue;
            }
            EXPECT_EQ(enc(kNoFlags, app).encode(fkey(fkeys[i])), table[i]) << "F" << i + 1 << " app " << app;
        }
    }

    const struct {
        K key;
        std::vector<uint8_t> normal, app;
    } cursor[] = {
        {K::up, EscapeSequences::moveUpNormal(), EscapeSequences::moveUpApp()},
        {K::down, EscapeSequences::moveDownNormal(), EscapeSequences::moveDownApp()},
        {K::left, EscapeSequences::moveLeftNormal(), EscapeSequences::moveLeftApp()},
        {K::right, EscapeSequences::moveRightNormal(), EscapeSequences::moveRightApp()},
        {K::home, EscapeSequences::moveHomeNormal(), EscapeSequences::moveHomeApp()},
        {K::end, EscapeSequences::moveEndNormal(), EscapeSequences::moveEndApp()},
    };
    for (const auto& c : cursor) {
        EXPECT_EQ(enc(kNoFlags, false).encode(fkey(c.key)), c.normal) << int(c.key);
        EXPECT_EQ(enc(kNoFlags, true).encode(fkey(c.key)), c.app) << int(c.key);
    }

    const struct {
        K key;
        std::vector<uint8_t> want;
    } editing[] = {
        {K::insert, EscapeSequences::cmdInsert()},     {K::deleteKey, EscapeSequences::cmdDelKey()},
        {K::pageUp, EscapeSequences::cmdPageUp()},     {K::pageDown, EscapeSequences::cmdPageDown()},
        {K::escape, EscapeSequences::cmdEsc()},        {K::enter, EscapeSequences::cmdRet()},
        {K::tab, EscapeSequences::cmdTab()},           {K::backspace, EscapeSequences::cmdDel()},
    };
    for (const auto& c : editing) EXPECT_EQ(enc(kNoFlags).encode(fkey(c.key)), c.want) << int(c.key);
    EXPECT_EQ(enc(kNoFlags).encode(fkey(K::tab, M::shift)), EscapeSequences::cmdBackTab());
    EXPECT_EQ(enc(kNoFlags).encode(fkey(K::left, M::ctrl)), EscapeSequences::controlLeft());
    EXPECT_EQ(enc(kNoFlags).encode(fkey(K::right, M::ctrl)), EscapeSequences::controlRight());
}

TEST(KittyKeyboardEncoder, Disambiguate)
{
    const F d = F::disambiguate;
    const F de = F::disambiguate | F::reportEvents;
    const Case cases[] = {
        {"ctrl a", enc(d), key('a', M::ctrl), "\x1b[97;5u"},
        {"ctrl a with its text", enc(d), key('a', M::ctrl, "\x01"), "\x1b[97;5u"},
        {"plain a with text", enc(d), key('a', kNoMods, "a"), "a"},
        {"alt a with text", enc(d), key('a', M::alt, "a"), "\x1b[97;3u"},
        {"shift a with text stays text", enc(d), key('a', M::shift, "A"), "A"},
        {"escape", enc(d), fkey(K::escape), "\x1b[27u"},
        {"enter keeps its byte", enc(d), fkey(K::enter), "\r"},
        {"shift enter", enc(d), fkey(K::enter, M::shift), "\x1b[13;2u"},
        {"shift enter with its text", enc(d), fkey(K::enter, M::shift, T::press, "\r"), "\x1b[13;2u"},
        {"tab keeps its byte", enc(d), fkey(K::tab), "\t"},
        {"ctrl tab", enc(d), fkey(K::tab, M::ctrl), "\x1b[9;5u"},
        {"backspace keeps its byte", enc(d), fkey(K::backspace), "\x7f"},
        {"up", enc(d), fkey(K::up), "\x1b[A"},
        {"up in application mode", enc(d, true), fkey(K::up), "\x1b[A"},
        {"F1 drops SS3", enc(d), fkey(K::f1), "\x1b[P"},
        {"F3", enc(d), fkey(K::f3), "\x1b[13~"},
        {"caps lock is reported as a modifier", enc(d), fkey(K::escape, M::capsLock), "\x1b[27;65u"},
        {"up release", enc(de), fkey(K::up, kNoMods, T::release), "\x1b[1;1:3A"},
        {"up press", enc(de), fkey(K::up), "\x1b[A"},
        {"up repeat", enc(de), fkey(K::up, kNoMods, T::repeatPress), "\x1b[1;1:2A"},
        {"page up repeat", enc(de), fkey(K::pageUp, M::ctrl, T::repeatPress), "\x1b[5;5:2~"},
        {"ctrl a release", enc(de), key('a', M::ctrl, std::nullopt, T::release), "\x1b[97;5:3u"},
        {"a release with text", enc(de), key('a', kNoMods, "a", T::release), std::nullopt},
        {"enter release", enc(de), fkey(K::enter, kNoMods, T::release), std::nullopt},
        {"tab release", enc(de), fkey(K::tab, kNoMods, T::release), std::nullopt},
        {"backspace release", enc(de), fkey(K::backspace, kNoMods, T::release), std::nullopt},
        {"escape release", enc(de), fkey(K::escape, kNoMods, T::release), "\x1b[27;1:3u"},
        {"enter repeat", enc(de), fkey(K::enter, kNoMods, T::repeatPress), "\x1b[13;1:2u"},
        {"modifier key", enc(d), fkey(K::leftShift, M::shift), std::nullopt},
        {"composing", enc(d), [] { auto e = key('a', M::ctrl); e.composing = true; return e; }(), std::nullopt},
    };
    for (const auto& c : cases) check(c);
}

TEST(KittyKeyboardEncoder, ReportAllKeys)
{
    const F all = F::reportAllKeys;
    const F allText = F::reportAllKeys | F::reportText;
    const F allTextAlt = allText | F::reportAlternates;
    const F allEvents = F::reportAllKeys | F::reportEvents;
    auto withAlternates = [](KittyKeyEvent e, std::optional<uint32_t> shifted, std::optional<uint32_t> base) {
        e.shiftedKey = shifted;
        e.baseLayoutKey = base;
        return e;
    };
    const Case cases[] = {
        {"a with text", enc(allText), key('a', kNoMods, "a"), "\x1b[97;;97u"},
        {"a with text, no text flag", enc(all), key('a', kNoMods, "a"), "\x1b[97u"},
        {"shift a with alternates", enc(allTextAlt), withAlternates(key('a', M::shift, "A"), 'A', std::nullopt),
         "\x1b[97:65;2;65u"},
        {"shifted key not written without shift", enc(allTextAlt),
         withAlternates(key('a', kNoMods, "a"), 'A', std::nullopt), "\x1b[97;;97u"},
        {"base layout key only", enc(all | F::reportAlternates),
         withAlternates(key(0x444, M::ctrl), std::nullopt, 'a'), "\x1b[1092::97;5u"},
        {"shifted and base layout keys", enc(all | F::reportAlternates),
         withAlternates(key(0x444, M::shift), 0x424, 'a'), "\x1b[1092:1060:97;2u"},
        {"alternates not reported without the flag", enc(all),
         withAlternates(key('a', M::shift), 'A', 'a'), "\x1b[97;2u"},
        {"ctrl drops the text", enc(allText), key('a', M::ctrl, "\x01"), "\x1b[97;5u"},
        {"locks keep the text", enc(allText), key('a', M::capsLock | M::numLock, "A"), "\x1b[97;193;65u"},
        {"control scalars are not text", enc(allText), fkey(K::enter, kNoMods, T::press, "\r"), "\x1b[13u"},
        {"several scalars", enc(allText), key('e', kNoMods, "e\xcc\x81"), "\x1b[101;;101:769u"},
        {"left shift press", enc(all), fkey(K::leftShift, M::shift), "\x1b[57441;2u"},
        {"left shift without its bit", enc(all), fkey(K::leftShift), "\x1b[57441u"},
        {"modifier key while composing", enc(all),
         [] { auto e = fkey(K::rightAlt, M::alt); e.composing = true; return e; }(), "\x1b[57449;3u"},
        {"other key while composing", enc(all), [] { auto e = key('a'); e.composing = true; return e; }(),
         std::nullopt},
        {"escape", enc(allText), fkey(K::escape, kNoMods, T::press, "\x1b"), "\x1b[27u"},
        {"enter", enc(all), fkey(K::enter), "\x1b[13u"},
        {"tab", enc(all), fkey(K::tab), "\x1b[9u"},
        {"backspace", enc(all), fkey(K::backspace), "\x1b[127u"},
        {"up stays a letter form", enc(all), fkey(K::up), "\x1b[A"},
        {"F1 stays a letter form", enc(all), fkey(K::f1, M::ctrl), "\x1b[1;5P"},
        {"delete stays a tilde form", enc(all), fkey(K::deleteKey), "\x1b[3~"},
        {"enter release", enc(allEvents), fkey(K::enter, kNoMods, T::release), "\x1b[13;1:3u"},
        {"a release never carries text", enc(allEvents | F::reportText), key('a', kNoMods, "a", T::release),
         "\x1b[97;1:3u"},
        {"left shift release", enc(allEvents), fkey(K::leftShift, kNoMods, T::release), "\x1b[57441;1:3u"},
        {"up release", enc(allEvents), fkey(K::up, kNoMods, T::release), "\x1b[1;1:3A"},
        {"F5 repeat", enc(allEvents), fkey(K::f5, kNoMods, T::repeatPress), "\x1b[15;1:2~"},
        {"event type not reported without the flag", enc(all), fkey(K::up, kNoMods, T::repeatPress), "\x1b[A"},
        {"unknown key", enc(allText), [] { KittyKeyEvent e; e.text = "x"; return e; }(), "\x1b[0;;120u"},
    };
    for (const auto& c : cases) check(c);
}

// Keys reported by their CSI-u code: the first and last of each run of codes.
TEST(KittyKeyboardEncoder, FunctionalKeyCodes)
{
    const struct {
        K key;
        int code;
    } cases[] = {
        {K::f13, 57376},         {K::f35, 57398},           {K::menu, 57363},
        {K::capsLock, 57358},    {K::pause, 57362},         {K::keypad0, 57399},
        {K::keypad9, 57408},     {K::keypadDecimal, 57409}, {K::keypadSeparator, 57416},
        {K::keypadLeft, 57417},  {K::keypadBegin, 57427},   {K::mediaPlay, 57428},
        {K::mediaRecord, 57437}, {K::volumeDown, 57438},    {K::volumeMute, 57440},
        {K::leftShift, 57441},   {K::rightMeta, 57452},     {K::isoLevel5Shift, 57454},
    };
    for (const auto& c : cases) {
        auto want = "\x1b[" + std::to_string(c.code) + ";3u";
        EXPECT_EQ(show(enc(F::reportAllKeys).encode(fkey(c.key, M::alt))), show(want)) << c.code;
    }

    const struct {
        K key;
        const char* want;
    } tilde[] = {
        {K::insert, "\x1b[2;5~"}, {K::pageDown, "\x1b[6;5~"}, {K::f3, "\x1b[13;5~"},
        {K::f6, "\x1b[17;5~"},    {K::f10, "\x1b[21;5~"},     {K::f11, "\x1b[23;5~"},
        {K::f12, "\x1b[24;5~"},
    };
    for (const auto& c : tilde) {
        EXPECT_EQ(show(enc(F::disambiguate).encode(fkey(c.key, M::ctrl))), show(c.want)) << int(c.key);
    }
}

// Auto-repeat of keys in the legacy encoding sends the key again: holding Backspace keeps
// deleting, with or without the disambiguate flag.
TEST(KittyKeyboardEncoder, RepeatIsSentLikeAPressInLegacyForms)
{
    const Case cases[] = {
        {"backspace", enc(kNoFlags), fkey(K::backspace, kNoMods, T::repeatPress), "\x7f"},
        {"backspace with its text", enc(kNoFlags), fkey(K::backspace, kNoMods, T::repeatPress, "\x7f"), "\x7f"},
        {"backspace, disambiguate", enc(F::disambiguate), fkey(K::backspace, kNoMods, T::repeatPress), "\x7f"},
        {"enter, disambiguate", enc(F::disambiguate), fkey(K::enter, kNoMods, T::repeatPress), "\r"},
        {"escape", enc(kNoFlags), fkey(K::escape, kNoMods, T::repeatPress), "\x1b"},
        {"ctrl a", enc(kNoFlags), key('a', M::ctrl, std::nullopt, T::repeatPress), "\x01"},
        {"escape release, events only", enc(F::reportEvents), fkey(K::escape, kNoMods, T::release),
         std::nullopt},
    };
    for (const auto& c : cases) check(c);
}

TEST(KittyKeyboardEncoder, EventTypeFromRawValue)
{
    EXPECT_EQ(kittyKeyboardEventType(1), T::press);
    EXPECT_EQ(kittyKeyboardEventType(2), T::repeatPress);
    EXPECT_EQ(kittyKeyboardEventType(3), T::release);
    for (int bad : {0, 4, -1}) EXPECT_EQ(kittyKeyboardEventType(bad), std::nullopt) << bad;
}
