#include "app/Views/OnboardingView.hpp"

#include "app/Services/integration/OnboardingStateStore.hpp"
#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "tests/app/Services/PreferenceBackends.hpp"
#include "tests/app/Views/SettingsModelFixture.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace brisvane;
using namespace brisvane::test;
using Step = OnboardingStepFlow::Step;

namespace {

const QStringList kOnboardingKeys{OnboardingStateStore::kOnboardingCompletedVersionKey,
                                  OnboardingStateStore::kTermsAgreedVersionKey,
                                  OnboardingStateStore::kTermsAgreedAtKey};

// Passes everything to the store of the moment and logs every change, in order.
class RecordingPreferences final : public Preferences {
public:
    RecordingPreferences(std::function<Preferences&()> store, QStringList& log)
        : store_(std::move(store))
        , log_(log)
    {
    }
    bool contains(const QString& key) const override { return store_().contains(key); }
    QVariant value(const QString& key) const override { return store_().value(key); }
    void setValue(const QString& key, const QVariant& value) override
    {
        log_.append(QStringLiteral("set ") + key);
        store_().setValue(key, value);
    }
    void remove(const QString& key) override
    {
        log_.append(QStringLiteral("remove ") + key);
        store_().remove(key);
    }

private:
    std::function<Preferences&()> store_;
    QStringList& log_;
};

class NoOpener final : public FileOpening {
public:
    void open(const QUrl&) const override { }
};

struct OnboardingFixture : ::testing::Test {
    // Preferences in a settings file, so that a restart reads them back as the next run would.
    QSettingsBackend backend;
    QStringList log;
    std::shared_ptr<RecordingPreferences> prefs =
        std::make_shared<RecordingPreferences>([this]() -> Preferences& { return backend.preferences(); }, log);
    std::unique_ptr<DashboardViewModel> model;
    const QDateTime agreedAt = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);

    void make(bool isJapaneseLocale = true)
    {
        model.reset();
        DashboardViewModel::Parameters p = modelParameters(
            qEnvironmentVariable("HOME") + "/.claude", prefs, std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); }));
        p.isJapaneseLocale = isJapaneseLocale;
        p.voicevoxEngineProbe = std::make_shared<ScriptedProbe>();
        p.voicevoxAppLauncher = std::make_shared<CountingLauncher>();
        model = std::make_unique<DashboardViewModel>(std::move(p));
    }

    OnboardingView::Dependencies dependencies()
    {
        return {ClaudeMdEditor({model->parameters().claudeHome + "/CLAUDE.md", model->parameters().isJapaneseLocale},
                               std::make_shared<LocalFileSystemReader>(), std::make_shared<LocalFileSystemWriter>()),
                prefs,
                std::make_shared<NoOpener>(),
                {},
                {},
                [this] { return agreedAt; },
                ClaudeCLISearch::current(model->parameters().pathExistenceChecker)};
    }

    void SetUp() override { make(); }
    void TearDown() override
    {
        if (model) model->stop();
    }
};

// Walks the footer both ways in each locale: back is absent on the first step, the finish button
// replaces next on the last, and the counter always divides by seven.
TEST_F(OnboardingFixture, FooterFollowsTheStepFlow)
{
    for (bool japanese : {true, false}) {
        SCOPED_TRACE(japanese ? "ja" : "other");
        make(japanese);
        OnboardingView view(*model, dependencies());
        EXPECT_EQ(view.size(), QSize(640, 580));
        EXPECT_EQ(view.step(), Step::welcome);
        EXPECT_TRUE(view.backButton()->isHidden());

        QStringList forward;
        for (;;) {
            forward.append(view.counterLabel()->text());
            EXPECT_EQ(view.titleLabel()->text(), OnboardingStepFlow::title(view.step()));
            EXPECT_NE(view.stepContent(), nullptr);
            if (view.nextButton()->isHidden()) break;
            EXPECT_TRUE(view.finishButton()->isHidden());
            view.nextButton()->click();
        }
        const QStringList expected = japanese
            ? QStringList{"1 / 7", "2 / 7", "3 / 7", "4 / 7", "5 / 7", "6 / 7", "7 / 7"}
            : QStringList{"1 / 7", "2 / 7", "3 / 7", "4 / 7", "5 / 7", "7 / 7"};
        EXPECT_EQ(forward, expected);
        EXPECT_EQ(view.step(), Step::terms);
        EXPECT_FALSE(view.finishButton()->isHidden());
        EXPECT_FALSE(view.finishButton()->isEnabled());
        view.setTermsAgreed(true);
        EXPECT_TRUE(view.finishButton()->isEnabled());
        view.setTermsAgreed(false);
        EXPECT_FALSE(view.finishButton()->isEnabled());

        QStringList backward;
        for (;;) {
            backward.prepend(view.counterLabel()->text());
            if (view.backButton()->isHidden()) break;
            view.backButton()->click();
        }
        EXPECT_EQ(backward, expected);
        EXPECT_EQ(view.step(), Step::welcome);
        EXPECT_FALSE(view.nextButton()->isHidden());
    }
    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();
}

TEST_F(OnboardingFixture, StartPresentsTheSheetUntilCompleted)
{
    const struct {
        std::optional<double> stored;
        bool presented;
    } cases[] = {{std::nullopt, true}, {0, true}, {0.5, true}, {1, false}, {2, false}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.stored ? std::to_string(*row.stored) : "absent");
        if (row.stored)
            backend.preferences().setValue(OnboardingStateStore::kOnboardingCompletedVersionKey, *row.stored);
        else
            backend.preferences().remove(OnboardingStateStore::kOnboardingCompletedVersionKey);
        backend.restart();
        make();
        model->start();
        EXPECT_EQ(model->isOnboardingPresented(), row.presented);
        model->stop();
    }
}

TEST_F(OnboardingFixture, PostponingAndEscapeCloseTheSheetAndRecordNothing)
{
    model->start();
    ASSERT_TRUE(model->isOnboardingPresented());
    QPointer<OnboardingView> view = OnboardingView::present(*model, dependencies(), nullptr);
    for (int i = 0; i < 3; i++) view->nextButton()->click();
    EXPECT_EQ(view->step(), Step::integrations);

    view->postponeButton()->click();
    EXPECT_FALSE(model->isOnboardingPresented());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.isNull(); }, 10000));

    // The platform's close (Esc) writes the flag back too.
    model->setOnboardingPresented(true);
    view = OnboardingView::present(*model, dependencies(), nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view));
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(model->isOnboardingPresented());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.isNull(); }, 10000));

    EXPECT_TRUE(log.isEmpty()) << log.join(", ").toStdString();
    backend.restart();
    for (const QString& key : kOnboardingKeys) EXPECT_FALSE(backend.preferences().contains(key)) << key.toStdString();
    make();
    model->start();
    EXPECT_TRUE(model->isOnboardingPresented());
}

TEST_F(OnboardingFixture, FinishingRecordsTheAgreementThenTheCompletionThenCloses)
{
    model->start();
    ASSERT_TRUE(model->isOnboardingPresented());
    QPointer<OnboardingView> view = OnboardingView::present(*model, dependencies(), nullptr);
    QObject::connect(model.get(), &DashboardViewModel::isOnboardingPresentedChanged, model.get(), [this] {
        if (!model->isOnboardingPresented()) log.append(QStringLiteral("closed"));
    });
    view->setStep(Step::terms);
    view->finishButton()->click();
    EXPECT_TRUE(log.isEmpty());

    // The step's checkbox sets the sheet's flag, which outlives a visit to another step.
    auto* agreement = view->stepContent()->findChild<QCheckBox*>();
    ASSERT_NE(agreement, nullptr);
    agreement->click();
    EXPECT_TRUE(view->isTermsAgreed());
    view->backButton()->click();
    view->nextButton()->click();
    EXPECT_TRUE(view->stepContent()->findChild<QCheckBox*>()->isChecked());
    ASSERT_TRUE(view->finishButton()->isEnabled());

    view->finishButton()->click();
    EXPECT_EQ(log,
              (QStringList{"set Brisvane.termsAgreedVersion", "set Brisvane.termsAgreedAt",
                           "set Brisvane.onboardingCompletedVersion", "closed"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.isNull(); }, 10000));

    // What a new run reads: the version text, a date (not a text), the completion; no sheet.
    backend.restart();
    Preferences& stored = backend.preferences();
    EXPECT_EQ(stored.stringValue(OnboardingStateStore::kTermsAgreedVersionKey), QStringLiteral("1.0"));
    const QVariant date = stored.value(OnboardingStateStore::kTermsAgreedAtKey);
    EXPECT_EQ(date.typeId(), QMetaType::QDateTime);
    EXPECT_EQ(date.toDateTime(), agreedAt);
    EXPECT_EQ(stored.doubleValue(OnboardingStateStore::kOnboardingCompletedVersionKey), 1.0);
    make();
    model->start();
    EXPECT_FALSE(model->isOnboardingPresented());
}

// The two text steps: every text wraps to its full height, every symbol has a glyph, the bold of
// the access text comes from its Markdown, and nothing speaks of another platform.
TEST_F(OnboardingFixture, TextStepsWrapShowTheirSymbolsAndBold)
{
    OnboardingView view(*model, dependencies());
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const struct {
        Step step;
        QStringList symbols;
    } steps[] = {
        {Step::welcome, {"square.grid.2x2", "gauge.with.dots.needle.67percent", "speaker.wave.2"}},
        {Step::accessExplanation,
         {"exclamationmark.shield", "checkmark.circle", "xmark.circle", "network.slash", "arrow.uturn.backward"}},
    };
    for (const auto& entry : steps) {
        SCOPED_TRACE(OnboardingStepFlow::title(entry.step).toStdString());
        view.setStep(entry.step);
        QCoreApplication::processEvents();
        const int available = view.contentArea()->viewport()->width();
        QStringList symbols;
        QList<QLabel*> markdown;
        for (QLabel* label : view.stepContent()->findChildren<QLabel*>()) {
            const QString symbol = label->property("symbolName").toString();
            if (!symbol.isEmpty()) {
                symbols.append(symbol);
                EXPECT_NE(label->text(), symbol) << "no glyph for " << symbol.toStdString();
                continue;
            }
            EXPECT_FALSE(label->text().contains(QStringLiteral("Mac"))) << label->text().toStdString();
            EXPECT_TRUE(label->wordWrap() && label->hasHeightForWidth()) << label->text().toStdString();
            EXPECT_LE(label->geometry().right(), available) << label->text().toStdString();
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
            if (label->textFormat() == Qt::MarkdownText) markdown.append(label);
        }
        EXPECT_EQ(symbols, entry.symbols);
        if (entry.step != Step::accessExplanation) continue;

        ASSERT_EQ(markdown.size(), 1);
        QTextDocument document;
        document.setMarkdown(markdown.front()->text());
        EXPECT_FALSE(document.toPlainText().contains(QStringLiteral("**")));
        EXPECT_TRUE(document.toPlainText().contains(QStringLiteral("~/.claude とその中のファイル")));
        QStringList bold;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                if (it.fragment().charFormat().fontWeight() >= QFont::Bold) bold.append(it.fragment().text());
            }
        }
        EXPECT_EQ(bold,
                  QStringList{"ファイルの権限で読み取りが拒まれていると、Brisvaneはセッションの状態を表示できません"});
    }
}

} // namespace
