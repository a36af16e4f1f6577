#include "app/Views/OnboardingCliDetectionStep.hpp"

#include "app/Services/integration/ClaudeCLIDetector.hpp"
#include "app/Services/tiles/FileOpening.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/OnboardingComponents.hpp"
#include "app/Views/OnboardingView.hpp"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace brisvane {

ClaudeCLISearch ClaudeCLISearch::current(std::shared_ptr<const PathExistenceChecking> pathExistenceChecker)
{
    return {QProcessEnvironment::systemEnvironment(), QDir::homePath(), std::move(pathExistenceChecker)};
}

OnboardingCliDetectionStep::OnboardingCliDetectionStep(OnboardingView& sheet, ClaudeCLISearch search,
                                                       QWidget* parent)
    : QWidget(parent)
    , sheet_(sheet)
    , search_(std::move(search))
{
    using namespace OnboardingComponents;
    QVBoxLayout* stack = makeStepLayout(*this);
    stack->addWidget(makeMarkdownLeadText(
        tr("Brisvaneのタイルはただのターミナルです。中でClaude Codeを使うには、`claude`コマンドが別途インストールされている必要があります。")));

    searching_ = makeCaption(tr("確認しています…"));
    searching_->setObjectName(QStringLiteral("cliSearching"));
    stack->addWidget(searching_);

    found_ = new QWidget;
    found_->setObjectName(QStringLiteral("cliFound"));
    {
        auto* block = new QVBoxLayout(found_);
        block->setContentsMargins(0, 0, 0, 0);
        block->setSpacing(6);
        block->addWidget(makeSymbolLabel(QStringLiteral("checkmark.circle.fill"), tr("claude コマンドが見つかりました"),
                                         DashboardStyle::font(12, QFont::DemiBold), green()));
        foundPath_ = makeCodeLine(QString());
        foundPath_->setObjectName(QStringLiteral("cliPath"));
        block->addWidget(foundPath_);
    }
    stack->addWidget(found_);

    notFound_ = new QWidget;
    notFound_->setObjectName(QStringLiteral("cliNotFound"));
    {
        auto* block = new QVBoxLayout(notFound_);
        block->setContentsMargins(0, 0, 0, 0);
        block->setSpacing(8);
        block->addWidget(makeSymbolLabel(QStringLiteral("exclamationmark.triangle.fill"),
                                         tr("claude コマンドが見つかりませんでした"),
                                         DashboardStyle::font(12, QFont::DemiBold), orange()));
        QLabel* caption = makeMarkdownLeadText(
            tr("Brisvane自体はこのまま使えますが、タイルの中で`claude`と打っても「command not found」になります。あとからインストールしても構いません。"),
            11);
        QPalette palette = caption->palette();
        palette.setColor(QPalette::WindowText, secondaryText());
        palette.setColor(QPalette::Text, secondaryText());
        caption->setPalette(palette);
        block->addWidget(caption);
        auto* install = new QPushButton(tr("公式インストール手順を開く"));
        install->setObjectName(QStringLiteral("openInstallGuideButton"));
        install->setAutoDefault(false);
        connect(install, &QPushButton::clicked, this, [this] {
            if (const auto& opener = sheet_.fileOpener()) opener->open(ClaudeCLIDetector::officialInstallURL());
        });
        block->addWidget(install, 0, Qt::AlignLeading);
    }
    stack->addWidget(notFound_);

    showResult(sheet_.state().cliDetection);
    // The step's task: runs once the step is on screen, the last result standing in until then.
    QTimer::singleShot(0, this, &OnboardingCliDetectionStep::runSearch);
}

void OnboardingCliDetectionStep::runSearch()
{
    const ClaudeCLIDetectionResult result = ClaudeCLIDetector::detectCurrentEnvironment(
        *search_.pathExistenceChecker, search_.environment, search_.homeDirectory);
    sheet_.state().cliDetection = result;
    showResult(result);
}

void OnboardingCliDetectionStep::showResult(const std::optional<ClaudeCLIDetectionResult>& result)
{
    searching_->setVisible(!result);
    found_->setVisible(result && result->isFound);
    notFound_->setVisible(result && !result->isFound);
    const bool hasPath = result && result->isFound && result->path;
    foundPath_->setText(hasPath ? *result->path : QString());
    foundPath_->setVisible(hasPath);
}

} // namespace brisvane
