#include "app/Models/OnboardingStepFlow.hpp"

#include <gtest/gtest.h>

using namespace brisvane;
using OnboardingStepFlow::Step;

namespace {

std::string name(std::optional<Step> step)
{
    return step ? OnboardingStepFlow::title(*step).toStdString() : "none";
}

TEST(OnboardingStepFlow, NavigationTable)
{
    struct Row {
        std::optional<Step> from;
        std::optional<Step> nextJapanese, nextOther, previousJapanese, previousOther;
    };
    const std::optional<Step> none;
    const Row table[] = {
        {none, none, none, Step::terms, Step::terms},
        {Step::welcome, Step::accessExplanation, Step::accessExplanation, none, none},
        {Step::accessExplanation, Step::cliDetection, Step::cliDetection, Step::welcome, Step::welcome},
        {Step::cliDetection, Step::integrations, Step::integrations, Step::accessExplanation, Step::accessExplanation},
        {Step::integrations, Step::voiceLineConsent, Step::voiceLineConsent, Step::cliDetection, Step::cliDetection},
        {Step::voiceLineConsent, Step::voicevoxInfo, Step::terms, Step::integrations, Step::integrations},
        {Step::voicevoxInfo, Step::terms, Step::terms, Step::voiceLineConsent, Step::voiceLineConsent},
        {Step::terms, none, none, Step::voicevoxInfo, Step::voiceLineConsent},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(name(row.from));
        EXPECT_EQ(OnboardingStepFlow::next(row.from, true), row.nextJapanese);
        EXPECT_EQ(OnboardingStepFlow::next(row.from, false), row.nextOther);
        EXPECT_EQ(OnboardingStepFlow::previous(row.from, true), row.previousJapanese);
        EXPECT_EQ(OnboardingStepFlow::previous(row.from, false), row.previousOther);
    }
}

TEST(OnboardingStepFlow, RawValuesAndTitles)
{
    const char* titles[] = {
        "Brisvaneへようこそ",     "アクセス権について",       "claude コマンドの確認",         "連携機能の導入",
        "音声要約の案内（任意）", "VOICEVOXについて（任意）", "利用規約・プライバシーポリシー"};
    ASSERT_EQ(OnboardingStepFlow::kStepCount, 7);
    for (int raw = 0; raw < 7; raw++) {
        const std::optional<Step> step = OnboardingStepFlow::stepFromRawValue(raw);
        ASSERT_TRUE(step) << raw;
        EXPECT_EQ(*step, OnboardingStepFlow::kAllSteps[size_t(raw)]);
        EXPECT_EQ(OnboardingStepFlow::rawValue(*step), raw);
        EXPECT_EQ(OnboardingStepFlow::title(*step), QString::fromUtf8(titles[raw]));
    }
    for (int raw : {-1, 7, 8, 1000}) EXPECT_EQ(OnboardingStepFlow::stepFromRawValue(raw), std::nullopt) << raw;
}

} // namespace
