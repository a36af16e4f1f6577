#include "terminal/bidi/BidiProperties.hpp"

#include <gtest/gtest.h>

using namespace corvix;

TEST(BidiProperties, ClassesJoiningAndBrackets)
{
    using C = BidiClass;
    using J = JoiningType;
    using K = BracketType;
    const struct {
        char32_t scalar;
        C cls;
        J joining;
        bool alphabetic;
        K bracket;
    } cases[] = {
        {U'a', C::L, J::nonJoining, true, K::none},           {0x05D0, C::R, J::nonJoining, true, K::none},
        {0x0628, C::AL, J::dualJoining, true, K::none},       {0x0627, C::AL, J::rightJoining, true, K::none},
        {0x0620, C::AL, J::dualJoining, true, K::none},       {0x0621, C::AL, J::nonJoining, true, K::none},
        {0x0640, C::AL, J::joinCausing, true, K::none},      {0x200D, C::BN, J::joinCausing, false, K::none},
        {0xA872, C::L, J::leftJoining, true, K::none},        {0x1E94B, C::R, J::transparent, true, K::none},
        {0x064E, C::NSM, J::transparent, true, K::none},      {0x200B, C::BN, J::transparent, false, K::none},
        {U'1', C::EN, J::nonJoining, false, K::none},         {0x0660, C::AN, J::nonJoining, false, K::none},
        {U'(', C::ON, J::nonJoining, false, K::open},         {U']', C::ON, J::nonJoining, false, K::close},
        {0x2329, C::ON, J::nonJoining, false, K::open},       {0x2029, C::B, J::nonJoining, false, K::none},
        // A format character is transparent unless the shaping data lists it as non-joining,
        // as it does the isolates.
        {0x2067, C::RLI, J::nonJoining, false, K::none},     {0x0590, C::R, J::nonJoining, false, K::none},
        {0xFDD0, C::BN, J::nonJoining, false, K::none},       {0x10FFFF, C::BN, J::nonJoining, false, K::none},
        {0x110000, C::BN, J::nonJoining, false, K::none},
    };
    for (const auto& c : cases) {
        const auto p = BidiProperties::of(c.scalar);
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << uint32_t(c.scalar));
        EXPECT_EQ(p.bidiClass(), c.cls);
        EXPECT_EQ(p.joiningType(), c.joining);
        EXPECT_EQ(p.isAlphabetic(), c.alphabetic);
        EXPECT_EQ(p.bracketType(), c.bracket);
    }
    EXPECT_EQ(BidiProperties::canonicalBracket(0x2329), char32_t(0x3008));
    EXPECT_EQ(BidiProperties::canonicalBracket(0x232A), char32_t(0x3009));
    EXPECT_EQ(BidiProperties::canonicalBracket(U'('), U'(');
}

// The packed records read back as the Unicode data: 428 mirroring pairs, each both ways (the
// offsets reach ±2527, so their sign matters), 78 dual-joining and 66 right-joining ranges,
// and 76 letters with presentation forms.
TEST(BidiProperties, WholeTablesMatchTheUnicodeCounts)
{
    int mirrors = 0;
    int letters = 0;
    int dualRanges = 0;
    int rightRanges = 0;
    JoiningType previous = JoiningType::nonJoining;
    for (char32_t cp = 0; cp < 0x110000; ++cp) {
        const auto p = BidiProperties::of(cp);
        if (const int offset = p.mirrorOffset()) {
            ++mirrors;
            EXPECT_EQ(BidiProperties::of(char32_t(int32_t(cp) + offset)).mirrorOffset(), -offset) << std::hex << uint32_t(cp);
        }
        if (const auto* forms = p.arabicForms()) {
            ++letters;
            EXPECT_EQ(forms->letter, cp);
        }
        const JoiningType type = p.joiningType();
        if (type != previous && type == JoiningType::dualJoining) ++dualRanges;
        if (type != previous && type == JoiningType::rightJoining) ++rightRanges;
        previous = type;
    }
    EXPECT_EQ(mirrors, 428);
    EXPECT_EQ(letters, 76);
    EXPECT_EQ(dualRanges, 78);
    EXPECT_EQ(rightRanges, 66);
    EXPECT_EQ(BidiProperties::of(0x2215).mirrorOffset(), 0x29F5 - 0x2215);
    EXPECT_EQ(BidiProperties::of(0x2BFE).mirrorOffset(), 0x221F - 0x2BFE);
}
