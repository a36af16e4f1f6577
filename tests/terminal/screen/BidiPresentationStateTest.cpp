#include "terminal/screen/BidiPresentationState.hpp"

#include <gtest/gtest.h>

using namespace corvix;

TEST(BidiPresentationState, PresentationModeFromTheThreeFields)
{
    struct Case {
        BidiSupportMode support;
        bool autodetect;
        BidiDirection fallback;
        BidiPresentationMode expected;
    };
    using D = BidiDirection;
    using M = BidiPresentationMode;
    const Case cases[] = {
        {BidiSupportMode::explicit_, true, D::leftToRight, M::explicitLeftToRight},
        {BidiSupportMode::explicit_, false, D::leftToRight, M::explicitLeftToRight},
        {BidiSupportMode::explicit_, true, D::rightToLeft, M::explicitRightToLeft},
        {BidiSupportMode::explicit_, false, D::rightToLeft, M::explicitRightToLeft},
        {BidiSupportMode::implicit, true, D::leftToRight, M::implicitAutoLeftToRight},
        {BidiSupportMode::implicit, true, D::rightToLeft, M::implicitAutoRightToLeft},
        {BidiSupportMode::implicit, false, D::leftToRight, M::implicitLeftToRight},
        {BidiSupportMode::implicit, false, D::rightToLeft, M::implicitRightToLeft},
    };
    for (const Case& c : cases) {
        const BidiPresentationState state{c.support, c.autodetect, c.fallback, false};
        EXPECT_EQ(state.presentationMode(), c.expected);
    }
    EXPECT_EQ(BidiPresentationState::defaultState().presentationMode(), M::implicitAutoLeftToRight);
}

TEST(BidiPresentationState, EqualityCoversEveryField)
{
    BidiPresentationState a;
    BidiPresentationState b;
    EXPECT_EQ(a, b);
    b.boxMirroring = true;
    EXPECT_NE(a, b);
    EXPECT_NE(std::hash<BidiPresentationState>{}(a), std::hash<BidiPresentationState>{}(b));
}
