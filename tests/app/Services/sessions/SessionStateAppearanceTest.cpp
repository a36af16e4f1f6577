#include "app/Services/sessions/SessionStateAppearance.hpp"

#include "tests/app/Printers.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using namespace brisvane::SessionStateAppearance;

TEST(SessionStateAppearance, GivesToneLabelAndDetail)
{
    const struct {
        SessionState state;
        Appearance expected;
    } cases[] = {
        {SessionState::idle(), {Tone::idle, QString::fromUtf8("アイドル"), std::nullopt}},
        {SessionState::busy(), {Tone::busy, QString::fromUtf8("実行中"), std::nullopt}},
        {SessionState::waiting("permission prompt"), {Tone::waiting, QString::fromUtf8("許可待ち"), "permission prompt"}},
        {SessionState::waiting(), {Tone::waiting, QString::fromUtf8("許可待ち"), std::nullopt}},
        {SessionState::terminated(), {Tone::terminated, QString::fromUtf8("終了"), std::nullopt}},
        {SessionState::unknown(), {Tone::unknown, QString::fromUtf8("不明"), std::nullopt}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.label.toStdString());
        EXPECT_EQ(resolve(c.state), c.expected);
    }
}
