#include "app/Views/OnboardingTermsStep.hpp"
#include "app/Views/OnboardingView.hpp"
#include "app/Views/OnboardingVoicevoxInfoStep.hpp"
#include "app/Views/SettingsWindow.hpp"

#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "app/Services/tiles/FileOpening.hpp"
#include "tests/app/Views/SettingsModelFixture.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>

using namespace brisvane;
using namespace brisvane::test;

namespace {

class RecordingOpener final : public FileOpening {
public:
    void open(const QUrl& url) const override { opened.append(url); }
    mutable QList<QUrl> opened;
};

TEST(OnboardingTermsStep, SwitchingDocumentsKeepsTheAgreement)
{
    OnboardingTermsStep step(true);
    auto* agreement = step.findChild<QCheckBox*>(QStringLiteral("termsAgreement"));
    auto* text = step.findChild<QPlainTextEdit*>(QStringLiteral("legalText"));
    QSignalSpy agreed(&step, &OnboardingTermsStep::termsAgreedChanged);
    EXPECT_FALSE(step.isTermsAgreed());
    EXPECT_EQ(step.legalDocument(), LegalDocument::terms);
    EXPECT_TRUE(text->toPlainText().startsWith("Brisvane 利用規約"));

    agreement->click();
    EXPECT_TRUE(step.isTermsAgreed());
    ASSERT_EQ(agreed.size(), 1);
    EXPECT_EQ(agreed.front().front().toBool(), true);

    step.findChild<QPushButton*>(QStringLiteral("document.privacy"))->click();
    EXPECT_EQ(step.legalDocument(), LegalDocument::privacy);
    EXPECT_TRUE(text->toPlainText().startsWith("Brisvane プライバシーポリシー"));
    EXPECT_TRUE(step.isTermsAgreed());
    step.findChild<QPushButton*>(QStringLiteral("document.terms"))->click();
    EXPECT_TRUE(step.isTermsAgreed());
    EXPECT_EQ(agreed.size(), 1);

    // The sheet can carry both values over to a new widget.
    OnboardingTermsStep again(false);
    again.setLegalDocument(LegalDocument::privacy);
    again.setTermsAgreed(true);
    EXPECT_TRUE(again.findChild<QCheckBox*>(QStringLiteral("termsAgreement"))->isChecked());
    EXPECT_TRUE(again.findChild<QPushButton*>(QStringLiteral("document.privacy"))->isChecked());
    EXPECT_TRUE(again.findChild<QPlainTextEdit*>(QStringLiteral("legalText"))
                    ->toPlainText()
                    .startsWith("Brisvane Privacy Policy"));
}

TEST(LegalDocument, EachTextHasItsTitleVersionAndEffectiveDate)
{
    struct Row {
        LegalDocument document;
        bool japanese;
        QString title, version, effective;
    };
    const Row rows[] = {
        {LegalDocument::terms, true, "Brisvane 利用規約", "版: 1.0", "2026年12月10日から適用"},
        {LegalDocument::privacy, true, "Brisvane プライバシーポリシー", "版: 1.0", "2026年12月10日から適用"},
        {LegalDocument::terms, false, "Brisvane Terms of Service", "Version: 1.0", "take effect on December 10, 2026"},
        {LegalDocument::privacy, false, "Brisvane Privacy Policy", "Version: 1.0", "takes effect on December 10, 2026"},
    };
    for (const Row& row : rows) {
        const QStringList lines = legalText(row.document, row.japanese).split('\n');
        EXPECT_EQ(lines.front(), row.title);
        EXPECT_EQ(lines[2], row.version);
        EXPECT_TRUE(lines.back().contains(row.effective)) << lines.back().toStdString();
    }
    // What leaves the machine, said in the privacy policy.
    EXPECT_TRUE(legalText(LegalDocument::privacy, true).contains("127.0.0.1"));
    EXPECT_TRUE(legalText(LegalDocument::privacy, false).contains("127.0.0.1"));
}

using TermsInTheSheet = SettingsModelFixture;

TEST_F(TermsInTheSheet, FinishWaitsForTheAgreementWhichSurvivesDocumentsAndVisits)
{
    OnboardingView::Dependencies dependencies{
        ClaudeMdEditor({model->parameters().claudeHome + "/CLAUDE.md", true}, std::make_shared<LocalFileSystemReader>(),
                       std::make_shared<LocalFileSystemWriter>()),
        prefs, std::make_shared<RecordingOpener>(), {}, {}, [] { return QDateTime::currentDateTimeUtc(); },
        ClaudeCLISearch::current(model->parameters().pathExistenceChecker)};
    OnboardingView sheet(*model, dependencies);
    sheet.setStep(OnboardingStepFlow::Step::terms);
    const auto step = [&] { return qobject_cast<OnboardingTermsStep*>(sheet.stepContent()); };
    ASSERT_NE(step(), nullptr);
    EXPECT_FALSE(sheet.finishButton()->isEnabled());

    step()->findChild<QCheckBox*>(QStringLiteral("termsAgreement"))->click();
    EXPECT_TRUE(sheet.finishButton()->isEnabled());
    step()->findChild<QPushButton*>(QStringLiteral("document.privacy"))->click();
    EXPECT_TRUE(step()->isTermsAgreed());
    EXPECT_TRUE(sheet.finishButton()->isEnabled());

    // Away and back: the same document and the agreement, until the sheet closes.
    sheet.backButton()->click();
    sheet.nextButton()->click();
    ASSERT_NE(step(), nullptr);
    EXPECT_EQ(step()->legalDocument(), LegalDocument::privacy);
    EXPECT_TRUE(step()->isTermsAgreed());
    EXPECT_TRUE(sheet.finishButton()->isEnabled());
}

using VoicevoxStep = SettingsModelFixture;

TEST_F(VoicevoxStep, NamesTheVoicesLinksTheEngineAndOpensTheAnnouncementSettings)
{
    auto opener = std::make_shared<RecordingOpener>();
    OnboardingVoicevoxInfoStep step(*model, opener);
    EXPECT_TRUE(step.findChild<QLabel*>(QStringLiteral("voicevoxLead"))->text().contains("VOICEVOX（ずんだもん・東北ずん子・玄野武宏）"));
    EXPECT_EQ(OnboardingVoicevoxInfoStep::voicevoxVoiceNamesText({AnnouncementVoice::system}), "");

    step.findChild<QPushButton*>(QStringLiteral("voicevoxDownloadButton"))->click();
    EXPECT_EQ(opener->opened, QList<QUrl>({OnboardingVoicevoxInfoStep::kVoicevoxDownloadUrl}));

    // Also when the window is already open on another tab.
    SettingsWindow* window = SettingsWindow::open(*model, SettingsTab::display);
    step.findChild<QPushButton*>(QStringLiteral("openAnnouncementSettingsButton"))->click();
    EXPECT_EQ(SettingsWindow::instance(), window);
    EXPECT_EQ(window->tabs().currentIndex(), int(SettingsTab::announcement));
    EXPECT_EQ(model->settingsSelectedTab(), SettingsTab::announcement);
}

} // namespace
