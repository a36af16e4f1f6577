#pragma once

#include <cstdint>
#include <vector>

namespace corvix {

// The bytes a host sends to the child for keys that are not plain text in the legacy keyboard
// encoding, and the bracketed-paste markers. Every getter returns a copy, so a caller may keep
// or change what it got. The host picks the application or normal form of the cursor, Home and
// End keys from the terminal's application-cursor mode.
struct EscapeSequences {
    EscapeSequences() = delete;

    static std::vector<uint8_t> cmdNewLine();   // LF
    static std::vector<uint8_t> cmdRet();       // CR
    static std::vector<uint8_t> cmdEsc();       // ESC
    static std::vector<uint8_t> cmdDel();       // DEL (0x7F)
    static std::vector<uint8_t> cmdDelKey();    // ESC [ 3 ~
    static std::vector<uint8_t> moveUpApp();
    static std::vector<uint8_t> moveUpNormal();
    static std::vector<uint8_t> moveDownApp();
    static std::vector<uint8_t> moveDownNormal();
    static std::vector<uint8_t> moveLeftApp();
    static std::vector<uint8_t> moveLeftNormal();
    static std::vector<uint8_t> moveRightApp();
    static std::vector<uint8_t> moveRightNormal();
    static std::vector<uint8_t> moveHomeApp();
    static std::vector<uint8_t> moveHomeNormal();
    static std::vector<uint8_t> moveEndApp();
    static std::vector<uint8_t> moveEndNormal();
    static std::vector<uint8_t> cmdTab();
    static std::vector<uint8_t> cmdBackTab();
    static std::vector<uint8_t> cmdPageUp();
    static std::vector<uint8_t> cmdPageDown();
    static std::vector<uint8_t> cmdInsert();
    static std::vector<uint8_t> emacsBack();    // ESC b: word left
    static std::vector<uint8_t> emacsForward(); // ESC f: word right
    static std::vector<uint8_t> controlLeft();  // ESC [ 1 ; 5 D
    static std::vector<uint8_t> controlRight(); // ESC [ 1 ; 5 C

    // F1 to F12, F1 first (always 12 entries).
    static std::vector<std::vector<uint8_t>> cmdF();

    // The paste markers may be replaced by the host; a replacement is seen by every later
    // reader, on any thread.
    static std::vector<uint8_t> bracketedPasteStart();
    static std::vector<uint8_t> bracketedPasteEnd();
    static void setBracketedPasteStart(std::vector<uint8_t> bytes);
    static void setBracketedPasteEnd(std::vector<uint8_t> bytes);
};

} // namespace corvix
