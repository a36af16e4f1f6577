#include "terminal/view/TerminalView.hpp"

#include "terminal/engine/EscapeSequences.hpp"
#include "terminal/view/KeyTranslation.hpp"
#include "terminal/view/TerminalViewDelegate.hpp"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvix;

namespace {

// Keeps each send apart: several keys send their bytes in more than one piece.
struct SendRecorder final : TerminalViewDelegate {
    std::vector<std::string> sends;

    void sizeChanged(TerminalView&, int, int) override {}
    void setTerminalTitle(TerminalView&, const QString&) override {}
    void hostCurrentDirectoryUpdate(TerminalView&, const std::optional<QString>&) override {}
    void send(TerminalView&, std::span<const uint8_t> data) override { sends.emplace_back(data.begin(), data.end()); }
    void scrolled(TerminalView&, double) override {}
    void rangeChanged(TerminalView&, int, int) override {}
};

std::string printable(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == 0x1B) {
            out += "ESC";
        } else if (c < 0x20 || c == 0x7F) {
            out += "^" + std::to_string(c);
        } else {
            out += char(c);
        }
    }
    return out;
}

struct KeyboardFixture : ::testing::Test {
    SendRecorder host;
    TerminalView view{QRect(0, 0, 640, 400), QFont(QStringLiteral("DejaVu Sans Mono"), 13)};

    void SetUp() override
    {
        view.terminalDelegate = &host;
        view.show();
        QApplication::processEvents();
    }

    // Everything sent since the last call.
    std::string sent()
    {
        std::string all;
        for (const std::string& s : host.sends) all += s;
        host.sends.clear();
        return all;
    }

    // A key event as a real keyboard gives it: with a native scan code, an auto-repeat flag.
    void key(QEvent::Type type, int key, Qt::KeyboardModifiers mods, const QString& text = {}, bool repeat = false,
             quint32 scanCode = 0)
    {
        QKeyEvent event(type, key, mods, scanCode, 0, 0, text, repeat);
        QApplication::sendEvent(&view, &event);
    }
};

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* text; // nullptr: QTest's text for the key
    std::string bytes;
};

void clickAll(KeyboardFixture& f, const std::vector<KeyCase>& cases)
{
    for (const KeyCase& c : cases) {
        if (c.text) {
            QTest::sendKeyEvent(QTest::Click, &f.view, c.key, QString::fromUtf8(c.text), c.mods);
        } else {
            QTest::keyClick(&f.view, c.key, c.mods);
        }
        EXPECT_EQ(printable(f.sent()), printable(c.bytes)) << c.name;
    }
}

const Qt::KeyboardModifiers kNone = Qt::NoModifier;
const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
const Qt::KeyboardModifiers kAlt = Qt::AltModifier;
const Qt::KeyboardModifiers kSuper = Qt::MetaModifier;
const Qt::KeyboardModifiers kKeypad = Qt::KeypadModifier;

TEST_F(KeyboardFixture, LegacyKeysSendXtermBytes)
{
    const std::vector<KeyCase> cases = {
        {"a", Qt::Key_A, kNone, nullptr, "a"},
        {"Shift+A", Qt::Key_A, kShift, "A", "A"},
        {"Return", Qt::Key_Return, kNone, nullptr, "\r"},
        {"Escape", Qt::Key_Escape, kNone, nullptr, "\x1b"},
        {"Backspace", Qt::Key_Backspace, kNone, nullptr, "\x7f"},
        {"Tab", Qt::Key_Tab, kNone, nullptr, "\t"},
        {"Shift+Tab (QTest)", Qt::Key_Tab, kShift, nullptr, "\x1b[Z"},
        {"Shift+Tab (X11)", Qt::Key_Backtab, kShift, nullptr, "\x1b[Z"},
        {"Up", Qt::Key_Up, kNone, nullptr, "\x1b[A"},
        {"Down", Qt::Key_Down, kNone, nullptr, "\x1b[B"},
        {"Left", Qt::Key_Left, kNone, nullptr, "\x1b[D"},
        {"Right", Qt::Key_Right, kNone, nullptr, "\x1b[C"},
        {"Home", Qt::Key_Home, kNone, nullptr, "\x1b[H"},
        {"End", Qt::Key_End, kNone, nullptr, "\x1b[F"},
        {"F1", Qt::Key_F1, kNone, nullptr, "\x1bOP"},
        {"F4", Qt::Key_F4, kNone, nullptr, "\x1bOS"},
        {"F5", Qt::Key_F5, kNone, nullptr, "\x1b[15~"},
        {"F12", Qt::Key_F12, kNone, nullptr, "\x1b[24~"},
        // Beyond F12 there is no legacy sequence, and the key's private-use character never leaks.
        {"F13", Qt::Key_F13, kNone, nullptr, ""},
        {"Delete", Qt::Key_Delete, kNone, nullptr, "\x1b[3~"},
        {"PageUp scrolls", Qt::Key_PageUp, kNone, nullptr, ""},
        {"PageDown scrolls", Qt::Key_PageDown, kNone, nullptr, ""},
        {"Ctrl+A", Qt::Key_A, kCtrl, nullptr, "\x01"},
        {"Ctrl+Z as X11 gives it", Qt::Key_Z, kCtrl, "\x1a", "\x1a"},
        {"Ctrl+Space", Qt::Key_Space, kCtrl, nullptr, std::string(1, '\0')},
        {"Ctrl+6", Qt::Key_6, kCtrl, nullptr, "\x1e"},
        {"Ctrl+[", Qt::Key_BracketLeft, kCtrl, nullptr, "\x1b"},
        {"Ctrl+Left", Qt::Key_Left, kCtrl, nullptr, "\x1b[1;5D"},
        {"Ctrl+Right", Qt::Key_Right, kCtrl, nullptr, "\x1b[1;5C"},
        {"Ctrl+Up", Qt::Key_Up, kCtrl, nullptr, ""},
        {"Alt+x", Qt::Key_X, kAlt, nullptr, "\x1bx"},
        {"Alt+Shift+X", Qt::Key_X, kAlt | kShift, "X", "\x1bX"},
        {"Alt+Backspace", Qt::Key_Backspace, kAlt, nullptr, "\x1b\x7f"},
        {"Alt+Left", Qt::Key_Left, kAlt, nullptr, "\x1b" "b"},
        {"Alt+Right", Qt::Key_Right, kAlt, nullptr, "\x1b" "f"},
        // Other function keys have nothing for Meta to prefix: they act as without Alt.
        {"Alt+Up", Qt::Key_Up, kAlt, nullptr, "\x1b[A"},
        {"Alt+F5", Qt::Key_F5, kAlt, nullptr, "\x1b[15~"},
        {"Super+a", Qt::Key_A, kSuper, nullptr, ""},
        {"keypad 5", Qt::Key_5, kKeypad, nullptr, "5"},
        {"keypad +", Qt::Key_Plus, kKeypad, nullptr, "+"},
        {"keypad Enter", Qt::Key_Enter, kKeypad, "\r", "\r"},
        {"keypad Delete (Num Lock off)", Qt::Key_Delete, kKeypad, nullptr, "\x1b[3~"},
    };
    clickAll(*this, cases);

    view.feed("\x1b[?1h"); // application cursor keys
    const std::vector<KeyCase> application = {
        {"Up", Qt::Key_Up, kNone, nullptr, "\x1bOA"},
        {"Down", Qt::Key_Down, kNone, nullptr, "\x1bOB"},
        {"Left", Qt::Key_Left, kNone, nullptr, "\x1bOD"},
        {"Right", Qt::Key_Right, kNone, nullptr, "\x1bOC"},
        {"Home", Qt::Key_Home, kNone, nullptr, "\x1bOH"},
        {"End", Qt::Key_End, kNone, nullptr, "\x1bOF"},
        {"PageUp still scrolls", Qt::Key_PageUp, kNone, nullptr, ""},
    };
    clickAll(*this, application);

    view.backspaceSendsControlH = true;
    clickAll(*this, {{"Backspace as ^H", Qt::Key_Backspace, kNone, nullptr, "\b"}});
}

TEST_F(KeyboardFixture, AltSuperOTogglesOptionAsMeta)
{
    ASSERT_TRUE(view.optionAsMetaKey);
    QTest::keyClick(&view, Qt::Key_O, kAlt | kSuper);
    EXPECT_FALSE(view.optionAsMetaKey);
    EXPECT_EQ(sent(), "");
    // Alt now types what the layout gives it.
    QTest::keyClick(&view, Qt::Key_X, kAlt);
    EXPECT_EQ(sent(), "x");

    view.feed("\x1b[>1u");
    QTest::keyClick(&view, Qt::Key_O, kAlt | kSuper);
    EXPECT_TRUE(view.optionAsMetaKey);
    EXPECT_EQ(sent(), "");
}

TEST_F(KeyboardFixture, PageKeysScrollTheViewWhileCommandsSendInApplicationCursorMode)
{
    for (int i = 0; i < 100; ++i) view.feed("line\r\n");
    Buffer& buffer = view.getTerminal().buffer();
    const int bottom = buffer.yDisp();
    ASSERT_GT(bottom, 0);
    const int rows = view.getTerminal().rows;

    view.selectionService().setSelection({0, 0}, {3, 0});
    QTest::keyClick(&view, Qt::Key_PageUp);
    EXPECT_FALSE(view.selectionService().active()) << "a key press ends the selection";
    EXPECT_EQ(buffer.yDisp(), bottom - rows);
    QTest::keyClick(&view, Qt::Key_PageDown);
    EXPECT_EQ(buffer.yDisp(), bottom);
    EXPECT_EQ(sent(), "");

    struct Case {
        const char* selector;
        bool applicationCursor;
        std::string bytes;
    };
    const Case cases[] = {
        {"scrollPageUp:", true, "\x1b[5~"},
        {"pageUp:", true, "\x1b[5~"},
        {"scrollPageDown:", true, "\x1b[6~"},
        {"pageDownAndModifySelection:", false, "\x1b[6~"},
        {"pageDownAndModifySelection:", true, ""},
        {"moveToBeginningOfLine:", true, "\x1bOH"},
        {"moveToEndOfLine:", false, "\x1b[F"},
        {"moveToLeftEndOfLine:", false, "\x1b" "b"},
        {"moveToRightEndOfLine:", false, "\x1b" "f"},
        {"insertBacktab:", false, "\x1b[Z"},
        {"selectAll:", false, ""},
        // Last: input sent after it would bring the cursor's row back into view.
        {"scrollPageUp:", false, ""},
    };
    for (const Case& c : cases) {
        view.feed(c.applicationCursor ? "\x1b[?1h" : "\x1b[?1l");
        view.doCommand(c.selector);
        EXPECT_EQ(printable(sent()), printable(c.bytes)) << c.selector << " app=" << c.applicationCursor;
    }
    // The one command that scrolled did so by a page.
    EXPECT_EQ(buffer.yDisp(), bottom - rows);
}

TEST_F(KeyboardFixture, KittyDisambiguateReportsWhatLegacyCannotTellApart)
{
    view.feed("\x1b[>1u");
    const std::vector<KeyCase> cases = {
        {"a", Qt::Key_A, kNone, nullptr, "a"},
        {"Return", Qt::Key_Return, kNone, nullptr, "\r"},
        {"Backspace", Qt::Key_Backspace, kNone, nullptr, "\x7f"},
        {"Tab", Qt::Key_Tab, kNone, nullptr, "\t"},
        {"Escape", Qt::Key_Escape, kNone, nullptr, "\x1b[27u"},
        {"Shift+Return", Qt::Key_Return, kShift, nullptr, "\x1b[13;2u"},
        {"Shift+Tab", Qt::Key_Backtab, kShift, nullptr, "\x1b[9;2u"},
        {"Ctrl+a", Qt::Key_A, kCtrl, "\x01", "\x1b[97;5u"},
        {"Ctrl+Return", Qt::Key_Return, kCtrl, nullptr, "\x1b[13;5u"},
        {"Alt+x", Qt::Key_X, kAlt, nullptr, "\x1b[120;3u"},
        {"Super+a", Qt::Key_A, kSuper, nullptr, "\x1b[97;9u"},
        {"Up", Qt::Key_Up, kNone, nullptr, "\x1b[A"},
        {"Ctrl+Up", Qt::Key_Up, kCtrl, nullptr, "\x1b[1;5A"},
        {"Super+Up", Qt::Key_Up, kSuper, nullptr, "\x1b[1;9A"},
        {"F5", Qt::Key_F5, kNone, nullptr, "\x1b[15~"},
        {"PageUp", Qt::Key_PageUp, kNone, nullptr, "\x1b[5~"},
        {"Delete", Qt::Key_Delete, kNone, nullptr, "\x1b[3~"},
        {"keypad 8", Qt::Key_8, kKeypad, nullptr, "\x1b[57407u"},
        {"keypad Up (Num Lock off)", Qt::Key_Up, kKeypad, nullptr, "\x1b[57419u"},
    };
    clickAll(*this, cases);

    // Alt that is not Meta types the layout's character as it is.
    view.optionAsMetaKey = false;
    clickAll(*this, {{"Alt+x, no Meta", Qt::Key_X, kAlt, nullptr, "x"}});
}

TEST_F(KeyboardFixture, KittyReportAllKeysReportsModifierKeysReleasesAndRepeats)
{
    view.feed("\x1b[>11u"); // disambiguate, report events, report all keys
    QTest::keyClick(&view, Qt::Key_A, kSuper);
    EXPECT_EQ(printable(sent()), printable("\x1b[57444;9u\x1b[97;9u\x1b[97;9:3u\x1b[57444;1:3u"));
    EXPECT_FALSE(view.commandActive);

    key(QEvent::KeyPress, Qt::Key_Shift, kNone);
    key(QEvent::KeyPress, Qt::Key_A, kShift, "A");
    key(QEvent::KeyRelease, Qt::Key_A, kShift, "A");
    key(QEvent::KeyRelease, Qt::Key_Shift, kShift);
    EXPECT_EQ(printable(sent()), printable("\x1b[57441;2u\x1b[97;2u\x1b[97;2:3u\x1b[57441;1:3u"));

    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(printable(sent()), printable("\x1b[13u\x1b[13;1:3u"));

    // Auto-repeat: X11 sends a release before each repeated press; only the press counts.
    key(QEvent::KeyPress, Qt::Key_A, kNone, "a");
    key(QEvent::KeyRelease, Qt::Key_A, kNone, "a", true);
    key(QEvent::KeyPress, Qt::Key_A, kNone, "a", true);
    key(QEvent::KeyRelease, Qt::Key_A, kNone, "a");
    EXPECT_EQ(printable(sent()), printable("\x1b[97u\x1b[97;1:2u\x1b[97;1:3u"));

    // The right-hand Control, by its scan code; Ctrl held is what the hover links follow.
    key(QEvent::KeyPress, Qt::Key_Control, kNone, {}, false, 105);
    EXPECT_TRUE(view.commandActive);
    key(QEvent::KeyRelease, Qt::Key_Control, kCtrl, {}, false, 105);
    EXPECT_FALSE(view.commandActive);
    EXPECT_EQ(printable(sent()), printable("\x1b[57448;5u\x1b[57448;1:3u"));
}

TEST_F(KeyboardFixture, KittyEventsWithoutAllKeysReportFunctionalKeysOnly)
{
    view.feed("\x1b[>3u"); // disambiguate, report events
    const std::vector<KeyCase> cases = {
        {"Return release not reported", Qt::Key_Return, kNone, nullptr, "\r"},
        {"Tab release not reported", Qt::Key_Tab, kNone, nullptr, "\t"},
        {"Backspace release not reported", Qt::Key_Backspace, kNone, nullptr, "\x7f"},
        {"text key release not reported", Qt::Key_A, kNone, nullptr, "a"},
        {"Up", Qt::Key_Up, kNone, nullptr, "\x1b[A\x1b[1;1:3A"},
        {"Ctrl+a with its release", Qt::Key_A, kCtrl, nullptr, "\x1b[97;5u\x1b[97;5:3u"},
    };
    clickAll(*this, cases);

    // A functional key's repeat needs report-events only; a text key's needs report-all-keys too.
    key(QEvent::KeyPress, Qt::Key_Up, kNone, {}, true);
    key(QEvent::KeyPress, Qt::Key_A, kNone, "a", true);
    EXPECT_EQ(printable(sent()), printable("\x1b[1;1:2Aa"));
}

TEST_F(KeyboardFixture, KittyBaseLayoutKeyComesFromTheScanCode)
{
    view.feed("\x1b[>5u"); // disambiguate, report alternates
    // The key that types "a" on the US layout types "ф" on a Russian one (X11 key code 38).
    key(QEvent::KeyPress, 0x0424, kNone, QStringLiteral("ф"), false, 38);
    EXPECT_EQ(sent(), "\x1b[1092::97u");
    // On the US layout there is no alternate to report: plain text stays plain.
    key(QEvent::KeyPress, Qt::Key_A, kNone, QStringLiteral("a"), false, 38);
    EXPECT_EQ(sent(), "a");
}

TEST(KeyTranslation, PhysicalKeysAndModifierSides)
{
    struct Case {
        const char* name;
        QEvent::Type type;
        int key;
        Qt::KeyboardModifiers mods;
        quint32 scanCode;
        quint32 nativeModifiers;
        std::optional<char32_t> baseLayoutKey;
        std::optional<KittyFunctionalKey> modifierKey;
        bool shift;
        bool capsLock;
    };
    using K = KittyFunctionalKey;
    const Case cases[] = {
        {"q by scan code", QEvent::KeyPress, Qt::Key_A, kNone, 24, 0, U'q', {}, false, false},
        {"space by scan code", QEvent::KeyPress, Qt::Key_Space, kNone, 65, 0, U' ', {}, false, false},
        {"Return has none", QEvent::KeyPress, Qt::Key_Return, kNone, 36, 0, {}, {}, false, false},
        {"no scan code: ! is on the 1 key", QEvent::KeyPress, Qt::Key_Exclam, kShift, 0, 0, U'1', {}, true, false},
        {"no scan code: letters", QEvent::KeyPress, Qt::Key_Q, kNone, 0, 0, U'q', {}, false, false},
        {"keypad keys have none", QEvent::KeyPress, Qt::Key_1, kKeypad, 0, 0, {}, {}, false, false},
        {"Caps Lock from the native state", QEvent::KeyPress, Qt::Key_A, kNone, 38, 0x2, U'a', {}, false, true},
        {"left Shift down", QEvent::KeyPress, Qt::Key_Shift, kNone, 50, 0, {}, K::leftShift, true, false},
        {"right Shift up", QEvent::KeyRelease, Qt::Key_Shift, kShift, 62, 0, {}, K::rightShift, false, false},
        {"right Alt", QEvent::KeyPress, Qt::Key_Alt, kNone, 108, 0, {}, K::rightAlt, false, false},
        {"Super_R", QEvent::KeyPress, Qt::Key_Super_R, kNone, 134, 0, {}, K::rightSuper, false, false},
        {"Caps Lock key", QEvent::KeyPress, Qt::Key_CapsLock, kNone, 66, 0, {}, K::capsLock, false, false},
    };
    for (const Case& c : cases) {
        const QKeyEvent event(c.type, c.key, c.mods, c.scanCode, 0, c.nativeModifiers);
        const KeyInput input = translateKeyEvent(event);
        EXPECT_EQ(input.baseLayoutKey, c.baseLayoutKey) << c.name;
        EXPECT_EQ(input.modifierKey, c.modifierKey) << c.name;
        EXPECT_EQ(input.isModifierKey, c.modifierKey.has_value()) << c.name;
        EXPECT_EQ(input.shift, c.shift) << c.name;
        EXPECT_EQ(input.capsLock, c.capsLock) << c.name;
    }
}

TEST_F(KeyboardFixture, BracketedPasteIsSanitisedAndSentInThreePieces)
{
    const std::string start = "\x1b[200~";
    const std::string end = "\x1b[201~";
    const QString hostile = QStringLiteral("echo a\x1b[201~rm x\r\n\tb\x07\x1b]0;t\x07 é");
    const std::string clean = "echo arm x\r\n\tb]0;t é";

    // Without bracketed paste there is no bracket to end: the text goes as it is.
    view.insertText(hostile, true);
    ASSERT_EQ(host.sends.size(), 1u);
    EXPECT_EQ(host.sends[0], hostile.toStdString());
    host.sends.clear();

    view.feed("\x1b[?2004h");
    view.insertText(hostile, true);
    EXPECT_EQ(host.sends, (std::vector<std::string>{start, clean, end}));
    host.sends.clear();

    view.feed("\x1b[>11u");
    view.insertText(hostile, true);
    EXPECT_EQ(host.sends, (std::vector<std::string>{start, clean, end}));
    host.sends.clear();

    // A host's end marker made of printable text cannot be rebuilt by the removals.
    const std::vector<uint8_t> defaultEnd = EscapeSequences::bracketedPasteEnd();
    EscapeSequences::setBracketedPasteEnd({'E', 'N', 'D'});
    view.insertText(QStringLiteral("xENENDD\x01yEN\x1b" "Dz"), true);
    EscapeSequences::setBracketedPasteEnd(defaultEnd);
    EXPECT_EQ(host.sends, (std::vector<std::string>{start, "xyz", "END"}));
}

TEST_F(KeyboardFixture, InputMethodPreeditShowsInTheOverlayAndTheCommitIsSentOnce)
{
    QInputMethodEvent preedit(QStringLiteral("にほ"), {{QInputMethodEvent::Cursor, 2, 1, {}}});
    QApplication::sendEvent(&view, &preedit);
    EXPECT_TRUE(host.sends.empty());
    EXPECT_TRUE(view.hasMarkedText());
    EXPECT_EQ(view.markedRange(), (TerminalView::TextRange{0, 2}));
    auto* overlay = view.findChild<QLabel*>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->text(), QStringLiteral("にほ"));
    EXPECT_TRUE(overlay->font().underline());
    EXPECT_EQ(overlay->pos(), view.caretFrame().topLeft());
    EXPECT_EQ(view.inputMethodQuery(Qt::ImCursorRectangle).toRect(), view.caretFrame());

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日本"));
    QApplication::sendEvent(&view, &commit);
    EXPECT_EQ(host.sends, std::vector<std::string>{"日本"});
    EXPECT_FALSE(view.hasMarkedText());
    EXPECT_EQ(view.findChild<QLabel*>(), nullptr);

    // A composition given up ends without sending anything.
    QApplication::sendEvent(&view, &preedit);
    QInputMethodEvent cancel;
    QApplication::sendEvent(&view, &cancel);
    EXPECT_FALSE(view.hasMarkedText());
    EXPECT_EQ(host.sends.size(), 1u);
}

TEST_F(KeyboardFixture, KittyInputMethodCommitIsTextOfItsOwn)
{
    view.feed("\x1b[>25u"); // disambiguate, report all keys, report associated text
    // Shift+Return goes through the key bindings and leaves its event pending.
    QTest::keyPress(&view, Qt::Key_Return, kShift);
    EXPECT_EQ(sent(), "\x1b[57441;2u\x1b[13;2u");
    // A commit reaches the view without a key press: it must not be told as Shift+Return.
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("あ"));
    QApplication::sendEvent(&view, &commit);
    EXPECT_EQ(sent(), "\x1b[0;;12354u");
}

TEST(KeyboardFocus, TabAndShiftTabStayInTheView)
{
    SendRecorder host;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* view = new TerminalView(QRect(0, 0, 320, 200), QFont(QStringLiteral("DejaVu Sans Mono"), 13));
    auto* other = new QLineEdit;
    layout->addWidget(view);
    layout->addWidget(other);
    view->terminalDelegate = &host;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    view->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), view);

    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_Backtab, kShift);
    EXPECT_EQ(QApplication::focusWidget(), view);
    EXPECT_EQ(host.sends, (std::vector<std::string>{"\t", "\x1b[Z"}));
    view->terminalDelegate = nullptr;
}

} // namespace
