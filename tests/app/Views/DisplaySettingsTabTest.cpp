#include "app/Views/DisplaySettingsTab.hpp"

#include "tests/app/Views/SettingsModelFixture.hpp"

#include <QCheckBox>

using namespace brisvane;
using namespace brisvane::test;

namespace {

using DisplayTab = SettingsModelFixture;

TEST_F(DisplayTab, TheSwitchStoresItsKeyOnEveryToggle)
{
    DisplaySettingsTab tab(*model);
    tab.show();
    auto* inlineCost = tab.findChild<QCheckBox*>(QStringLiteral("inlineCostSwitch"));
    ASSERT_NE(inlineCost, nullptr);
    EXPECT_FALSE(inlineCost->isChecked());

    const bool expected[] = {true, false, true};
    for (int i = 0; i < 3; i++) {
        inlineCost->click();
        EXPECT_EQ(model->isInlineCostDisplayEnabled(), expected[i]);
        EXPECT_EQ(prefs->value("Brisvane.inlineCostDisplayEnabled"), QVariant(expected[i]));
        EXPECT_EQ(prefs->writes["Brisvane.inlineCostDisplayEnabled"], i + 1);
    }

    // A change made elsewhere shows without reopening anything, and showing it writes nothing.
    model->setInlineCostDisplayEnabled(false);
    EXPECT_FALSE(inlineCost->isChecked());
    EXPECT_EQ(prefs->writes["Brisvane.inlineCostDisplayEnabled"], 4);
}

} // namespace
