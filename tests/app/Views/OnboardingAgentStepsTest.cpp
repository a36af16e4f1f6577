#include "app/Views/OnboardingCliDetectionStep.hpp"
#include "app/Views/OnboardingIntegrationsStep.hpp"
#include "app/Views/OnboardingView.hpp"
#include "app/Views/OnboardingVoiceLineConsentStep.hpp"

#include "app/Services/integration/ClaudeCLIDetector.hpp"
#include "app/Services/integration/ClaudeMdAnnouncementBlock.hpp"
#include "app/Services/platform/LocalFileSystemWriter.hpp"
#include "app/Services/tiles/FileOpening.hpp"
#include "tests/app/Services/InterceptingFileSystemWriter.hpp"
#include "tests/app/Views/AgentHomeModelFixture.hpp"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTextDocument>

#include <stdexcept>

using namespace brisvane;
using namespace brisvane::test;
using Step = OnboardingStepFlow::Step;

namespace {

class RecordingOpener final : public FileOpening {
public:
    void open(const QUrl& url) const override { opened.append(url); }
    mutable QList<QUrl> opened;
};

// Answers from the file system only below `root`: no folder of the machine itself can answer.
class ConfinedChecker final : public PathExistenceChecking {
public:
    explicit ConfinedChecker(QString root) : root_(std::move(root)) {}
    bool fileExists(const QString& path, bool* isDirectory) const override
    {
        return path.startsWith(root_ + u'/') && local_.fileExists(path, isDirectory);
    }

private:
    QString root_;
    LocalPathExistenceChecker local_;
};

// Answers true for the paths it is given and nothing else.
class ListedPaths final : public PathExistenceChecking {
public:
    bool fileExists(const QString& path, bool* isDirectory) const override
    {
        if (isDirectory) *isDirectory = false;
        return paths.contains(path);
    }
    QSet<QString> paths;
};

bool shows(const QWidget& step, const QString& name)
{
    auto* widget = step.findChild<QWidget*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget && widget->isVisibleTo(&step);
}

QString renderedMarkdown(const QLabel& label)
{
    QTextDocument document;
    document.setMarkdown(label.text());
    return document.toPlainText();
}

struct OnboardingAgentSteps : AgentHomeModelFixture {
    std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
    std::shared_ptr<InterceptingFileSystemWriter> writer = std::make_shared<InterceptingFileSystemWriter>();
    std::unique_ptr<OnboardingView> sheet;

    QString claudeMdPath() const { return model->parameters().claudeHome + QStringLiteral("/CLAUDE.md"); }

    void makeSheet(Step step)
    {
        sheet.reset();
        OnboardingView::Dependencies dependencies{
            ClaudeMdEditor({claudeMdPath(), model->parameters().isJapaneseLocale},
                           std::make_shared<LocalFileSystemReader>(), writer),
            prefs, opener, {}, {}, [] { return QDateTime::currentDateTimeUtc(); },
            ClaudeCLISearch::current(pathExistenceChecker)};
        sheet = std::make_unique<OnboardingView>(*model, std::move(dependencies));
        sheet->setStep(step);
        sheet->show();
    }

    template <typename T> T* step() const { return qobject_cast<T*>(sheet->stepContent()); }
};

// ---- Command detection -------------------------------------------------------------------------

using CommandStep = OnboardingAgentSteps;

TEST_F(CommandStep, FindsTheCommandOnPathOrInAFixedFolder)
{
    struct Case {
        const char* name;
        std::optional<QString> path; // "@" stands for the test's folder
        QStringList files;            // made below the folder; a trailing "/" makes a folder
        std::optional<QString> found;
    };
    const Case cases[] = {
        {"a PATH entry, before the fixed folders", "@/empty:@/bin", {"bin/claude", "home/.local/bin/claude"}, "@/bin/claude"},
        {"a fixed folder PATH lacks; a folder counts", "@/empty", {"home/.local/bin/claude/"}, "@/home/.local/bin/claude"},
        {"no PATH at all", std::nullopt, {"home/.npm-global/bin/claude"}, "@/home/.npm-global/bin/claude"},
        {"nowhere", "@/empty:@/bin", {"bin/claude-code", "home/.claude/other"}, std::nullopt},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        QTemporaryDir root;
        const auto at = [&](const QString& text) { return QString(text).replace('@', root.path()); };
        QDir().mkpath(root.path() + "/empty");
        for (const QString& file : row.files) {
            if (file.endsWith('/')) {
                QDir().mkpath(root.path() + '/' + file);
            } else {
                writeFile(root.path() + '/' + file, "#!/bin/sh\n");
            }
        }
        QProcessEnvironment environment;
        if (row.path) environment.insert("PATH", at(*row.path));

        makeSheet(Step::welcome);
        OnboardingCliDetectionStep step(*sheet,
                                        {environment, root.path() + "/home", std::make_shared<ConfinedChecker>(root.path())});
        // Until the search has run.
        EXPECT_TRUE(shows(step, "cliSearching"));
        EXPECT_FALSE(shows(step, "cliFound"));
        EXPECT_FALSE(shows(step, "cliNotFound"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->state().cliDetection.has_value(); }, 10000));

        const ClaudeCLIDetectionResult& result = *sheet->state().cliDetection;
        EXPECT_FALSE(shows(step, "cliSearching"));
        EXPECT_EQ(shows(step, "cliFound"), row.found.has_value());
        EXPECT_EQ(shows(step, "cliNotFound"), !row.found.has_value());
        if (row.found) {
            EXPECT_EQ(result, (ClaudeCLIDetectionResult{true, at(*row.found)}));
            EXPECT_EQ(step.findChild<QLabel*>("cliPath")->text(), at(*row.found));
        } else {
            EXPECT_EQ(result, ClaudeCLIDetectionResult{});
            step.findChild<QPushButton*>("openInstallGuideButton")->click();
            EXPECT_EQ(opener->opened.value(0), ClaudeCLIDetector::officialInstallURL());
        }
    }
}

// In the sheet the search runs again at every visit, through the model's existence checker.
TEST_F(CommandStep, SearchesAgainEachTimeTheStepIsShown)
{
    auto listed = std::make_shared<ListedPaths>();
    pathExistenceChecker = listed;
    make();
    makeSheet(Step::cliDetection);
    ASSERT_NE(step<OnboardingCliDetectionStep>(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->state().cliDetection.has_value(); }, 10000));
    EXPECT_FALSE(sheet->state().cliDetection->isFound);

    const QString installed = QDir::homePath() + "/.claude/local/claude";
    listed->paths.insert(installed);
    sheet->nextButton()->click();
    sheet->backButton()->click();
    // The last result stands until the new search is done.
    EXPECT_TRUE(shows(*sheet->stepContent(), "cliNotFound"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->state().cliDetection->isFound; }, 10000));
    EXPECT_EQ(sheet->state().cliDetection->path, installed);
    EXPECT_TRUE(shows(*sheet->stepContent(), "cliFound"));
}

// ---- Integrations ------------------------------------------------------------------------------

using IntegrationsStep = OnboardingAgentSteps;

TEST_F(IntegrationsStep, EachRowFollowsItsState)
{
    enum class Trailing { installedLabel, installButton, conflictNote };
    struct Case {
        const char* name;
        std::function<void()> setUp;
        Trailing statusLine, stop;
        bool canInstall;
    };
    const Case cases[] = {
        {"nothing yet", [] {}, Trailing::installButton, Trailing::installButton, true},
        {"both installed",
         [this] {
             model->installHook(HookKind::statusLine);
             model->installHook(HookKind::stop);
         },
         Trailing::installedLabel, Trailing::installedLabel, true},
        {"a foreign status line",
         [this] { writeSettings(R"({"statusLine": {"type": "command", "command": "other-tool"}})"); },
         Trailing::conflictNote, Trailing::installButton, true},
        {"unreadable settings", [this] { QDir().mkpath(settingsPath()); }, Trailing::installButton,
         Trailing::installButton, false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        QDir(claudeHome()).removeRecursively();
        QDir(supportDirectory()).removeRecursively();
        QDir().mkpath(claudeHome());
        make();
        row.setUp();
        makeSheet(Step::integrations);
        auto* content = step<OnboardingIntegrationsStep>();
        ASSERT_NE(content, nullptr);
        EXPECT_TRUE(content->findChild<QLabel*>("integrationsLead")->text().contains("（" + settingsPath() + "）"));
        for (const auto& [kind, expected] : {std::pair{HookKind::statusLine, row.statusLine}, std::pair{HookKind::stop, row.stop}}) {
            auto* widget = content->findChild<QWidget*>("integrationRow." + rawValue(kind));
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(shows(*widget, "installedLabel"), expected == Trailing::installedLabel) << rawValue(kind).toStdString();
            EXPECT_EQ(shows(*widget, "installButton"), expected == Trailing::installButton) << rawValue(kind).toStdString();
            EXPECT_EQ(shows(*widget, "conflictNote"), expected == Trailing::conflictNote) << rawValue(kind).toStdString();
            EXPECT_EQ(widget->findChild<QPushButton*>("installButton")->isEnabled(), row.canInstall);
        }
        EXPECT_EQ(shows(*content, "integrationsUnreadableWarning"), !row.canInstall);
    }
}

TEST_F(IntegrationsStep, InstallsAndReadsTheFilesAgainOnEachVisit)
{
    makeSheet(Step::integrations);
    auto* stopRow = step<OnboardingIntegrationsStep>()->findChild<QWidget*>("integrationRow.stop");
    stopRow->findChild<QPushButton*>("installButton")->click();
    EXPECT_TRUE(shows(*stopRow, "installedLabel"));
    EXPECT_TRUE(settings().contains("brisvane-say.sh"));
    EXPECT_TRUE(model->appNotificationCenter().activeNotifications().isEmpty());

    // Changed elsewhere while the user is on another step.
    sheet->nextButton()->click();
    writeSettings(R"({"statusLine": {"type": "command", "command": "other-tool"}})");
    sheet->backButton()->click();
    auto* statusLineRow = step<OnboardingIntegrationsStep>()->findChild<QWidget*>("integrationRow.statusLine");
    EXPECT_TRUE(shows(*statusLineRow, "conflictNote"));
    EXPECT_FALSE(shows(*statusLineRow, "installButton"));
    EXPECT_TRUE(shows(*step<OnboardingIntegrationsStep>()->findChild<QWidget*>("integrationRow.stop"), "installButton"));
}

// ---- Voice-summary consent ---------------------------------------------------------------------

using ConsentStep = OnboardingAgentSteps;

TEST_F(ConsentStep, AddsAndRemovesTheBlockShownInEachLocale)
{
    for (bool japanese : {true, false}) {
        SCOPED_TRACE(japanese ? "ja" : "en");
        make(japanese);
        const QByteArray own = "# My rules\n\nAnswer briefly.\n";
        writeFile(claudeMdPath(), own);
        makeSheet(Step::voiceLineConsent);
        auto* content = step<OnboardingVoiceLineConsentStep>();
        ASSERT_NE(content, nullptr);

        const QString block = content->findChild<QPlainTextEdit*>("claudeMdBlockText")->toPlainText();
        EXPECT_TRUE(block.startsWith("<!-- Brisvane:voice-summary:start -->\n"));
        EXPECT_TRUE(block.endsWith("\n<!-- Brisvane:voice-summary:end -->"));
        EXPECT_TRUE(block.contains(japanese ? "\n## Brisvaneへの音声要約\n" : "\n## Voice summary for Brisvane\n"));
        EXPECT_TRUE(shows(*content, "claudeMdNotInstalled"));
        auto* add = content->findChild<QPushButton*>("addClaudeMdBlockButton");
        EXPECT_FALSE(add->isEnabled());
        content->findChild<QCheckBox*>("claudeMdConfirmation")->click();
        EXPECT_TRUE(add->isEnabled());

        for (int round = 0; round < 2; round++) {
            add->click();
            EXPECT_EQ(readFile(claudeMdPath()), own + "\n" + block.toUtf8() + "\n");
            EXPECT_TRUE(shows(*content, "claudeMdInstalled"));
            EXPECT_FALSE(shows(*content, "claudeMdNotInstalled"));
            EXPECT_FALSE(shows(*content, "claudeMdError"));

            content->findChild<QPushButton*>("removeClaudeMdBlockButton")->click();
            EXPECT_EQ(readFile(claudeMdPath()), own);
            // The checkbox keeps its tick: adding again needs no second confirmation.
            EXPECT_TRUE(shows(*content, "claudeMdNotInstalled"));
            EXPECT_TRUE(add->isEnabled());
        }
        EXPECT_FALSE(QDir(claudeHome()).entryList({"CLAUDE.md.brisvane-backup-*"}, QDir::Files).isEmpty());
        QDir(claudeHome()).removeRecursively();
        QDir().mkpath(claudeHome());
    }
}

TEST_F(ConsentStep, ShowsTheEditorsFailureAndKeepsTheStateUntilASuccess)
{
    using Operation = InterceptingFileSystemWriter::Operation;
    struct Case {
        const char* name;
        std::function<void()> setUp;
        QString message;
    };
    const Case cases[] = {
        {"a folder in place of the file", [this] { QDir().mkpath(claudeMdPath()); },
         "CLAUDE.md（~/.claude/CLAUDE.md）を読み取れません"},
        {"no backup can be made",
         [this] {
             writeFile(claudeMdPath(), "mine\n");
             writer->before = [](Operation operation, const QString&) { return operation != Operation::createFile; };
         },
         "CLAUDE.mdのバックアップを作成できないため、変更を中止しました"},
        {"the new file cannot be written",
         [this] { writer->before = [](Operation operation, const QString&) { return operation != Operation::createFile; }; },
         "CLAUDE.mdを更新できませんでした"},
        {"the file changes under the edit",
         [this] {
             // Someone writes the file between the read and the replacement.
             writer->after = [this](Operation operation, const QString& path) {
                 if (operation == Operation::createFile && path != claudeMdPath())
                     writeFile(claudeMdPath(), "someone else's text\n");
             };
         },
         "更新後の内容を検証できなかったため、CLAUDE.mdは変更していません"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        QDir(claudeHome()).removeRecursively();
        QDir().mkpath(claudeHome());
        writer = std::make_shared<InterceptingFileSystemWriter>();
        row.setUp();
        makeSheet(Step::voiceLineConsent);
        auto* content = step<OnboardingVoiceLineConsentStep>();
        content->findChild<QCheckBox*>("claudeMdConfirmation")->click();
        content->findChild<QPushButton*>("addClaudeMdBlockButton")->click();

        EXPECT_TRUE(shows(*content, "claudeMdError"));
        EXPECT_EQ(content->findChild<QLabel*>("claudeMdError")->text(), row.message);
        EXPECT_EQ(sheet->state().claudeMdErrorMessage, row.message);
        EXPECT_FALSE(sheet->state().isClaudeMdBlockInstalled);
        EXPECT_TRUE(shows(*content, "claudeMdNotInstalled"));
    }

    // Anything else thrown beneath the editor reads as a failed update; a success clears it.
    writer->after = [](Operation, const QString&) {};
    auto* content = step<OnboardingVoiceLineConsentStep>();
    content->performClaudeMdChange([]() -> ClaudeMdEditor::Outcome { throw std::runtime_error("disk gone"); });
    EXPECT_EQ(sheet->state().claudeMdErrorMessage, "CLAUDE.mdを更新できませんでした");
    content->findChild<QPushButton*>("addClaudeMdBlockButton")->click();
    EXPECT_EQ(sheet->state().claudeMdErrorMessage, std::nullopt);
    EXPECT_FALSE(shows(*content, "claudeMdError"));
    EXPECT_TRUE(shows(*content, "claudeMdInstalled"));
}

TEST_F(ConsentStep, ReadsTheFileForTheStartMarkerAtEachVisit)
{
    const struct {
        const char* name;
        std::optional<QByteArray> content;
        bool installed;
    } cases[] = {
        {"no file", std::nullopt, false},
        {"a start marker without its end", "mine\n<!-- Brisvane:voice-summary:start -->\ncut short", true},
        {"the end marker alone", "mine\n<!-- Brisvane:voice-summary:end -->\n", false},
        {"not UTF-8", "\xff\xfe<!-- Brisvane:voice-summary:start -->\n", false},
    };
    makeSheet(Step::voiceLineConsent);
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        QFile::remove(claudeMdPath());
        if (row.content) writeFile(claudeMdPath(), *row.content);
        // Away and back: the step is made anew and reads again.
        sheet->backButton()->click();
        sheet->nextButton()->click();
        auto* content = step<OnboardingVoiceLineConsentStep>();
        ASSERT_NE(content, nullptr);
        EXPECT_EQ(sheet->state().isClaudeMdBlockInstalled, row.installed);
        EXPECT_EQ(shows(*content, "claudeMdInstalled"), row.installed);
    }
}

TEST_F(ConsentStep, HomePathIsShownAsWritten)
{
    QTemporaryDir root;
    const QString odd = root.path() + "/a*b*_c_`d`[e](f)\\g/.claude";
    QDir().mkpath(odd);
    make(true, odd);
    makeSheet(Step::voiceLineConsent);
    auto* content = step<OnboardingVoiceLineConsentStep>();
    ASSERT_NE(content, nullptr);

    const QString lead = renderedMarkdown(*content->findChild<QLabel*>("voiceLineLead"));
    EXPECT_TRUE(lead.contains("次の内容を " + odd + "/CLAUDE.md に追記すると")) << lead.toStdString();
    // The key's own Markdown still applies.
    EXPECT_TRUE(lead.endsWith("任意の強化であり、必須ではありません。既定はOFFです。")) << lead.toStdString();
    EXPECT_FALSE(lead.contains("**"));
    EXPECT_TRUE(content->findChild<QLabel*>("claudeMdBackupCaption")->text().startsWith("追記前に " + odd + "/CLAUDE.md.brisvane-backup-…"));
}

} // namespace
