#include "app/Views/OnboardingVoiceLineConsentStep.hpp"

#include "app/Services/integration/ClaudeMdAnnouncementBlock.hpp"
#include "app/Services/platform/StrictUtf8.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/OnboardingComponents.hpp"
#include "app/Views/OnboardingView.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cctype>
#include <exception>

namespace brisvane {

namespace {

void setTextColor(QWidget& widget, const QColor& color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget.setPalette(palette);
}

} // namespace

QString OnboardingVoiceLineConsentStep::markdownEscaped(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size() * 2);
    for (QChar c : text) {
        if (c.unicode() < 0x80 && std::ispunct(static_cast<unsigned char>(c.unicode()))) escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

OnboardingVoiceLineConsentStep::OnboardingVoiceLineConsentStep(OnboardingView& sheet, QWidget* parent)
    : QWidget(parent), sheet_(sheet)
{
    using namespace OnboardingComponents;
    const QString claudeHome = sheet_.viewModel().parameters().claudeHome;
    QVBoxLayout* stack = makeStepLayout(*this);

    QLabel* lead = makeMarkdownLeadText(
        tr("完了時の音声読み上げは、そのままでも動作します（回答冒頭からの自動抜粋）。次の内容を %1/CLAUDE.md に追記すると、より的確な要約を読み上げられるようになります。**任意の強化であり、必須ではありません。既定はOFFです。**")
            .arg(markdownEscaped(claudeHome)));
    lead->setObjectName(QStringLiteral("voiceLineLead"));
    stack->addWidget(lead);

    // The block the editor inserts, in the editor's own wording.
    auto* block = new QPlainTextEdit(ClaudeMdAnnouncementBlock::text(sheet_.claudeMdEditor().configuration().isJapaneseLocale));
    block->setObjectName(QStringLiteral("claudeMdBlockText"));
    block->setReadOnly(true);
    block->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    block->setFixedHeight(140);
    block->setFont(DashboardStyle::monospacedFont(10));
    block->setFrameShape(QFrame::NoFrame);
    block->setStyleSheet(QStringLiteral(
        "QPlainTextEdit#claudeMdBlockText { background-color: rgba(0, 0, 0, 77); border-radius: 8px; padding: 8px; }"));
    setTextColor(*block, secondaryText());
    stack->addWidget(block);

    installed_ = new QWidget;
    installed_->setObjectName(QStringLiteral("claudeMdInstalled"));
    {
        auto* layout = new QVBoxLayout(installed_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        layout->addWidget(makeSymbolLabel(QStringLiteral("checkmark.circle.fill"), tr("追加済みです"),
                                          DashboardStyle::font(12, QFont::DemiBold), green()));
        auto* remove = new QPushButton(tr("撤去する"));
        remove->setObjectName(QStringLiteral("removeClaudeMdBlockButton"));
        remove->setAutoDefault(false);
        connect(remove, &QPushButton::clicked, this,
                [this] { performClaudeMdChange([this] { return sheet_.claudeMdEditor().uninstall(); }); });
        layout->addWidget(remove, 0, Qt::AlignLeading);
    }
    stack->addWidget(installed_);

    notInstalled_ = new QWidget;
    notInstalled_->setObjectName(QStringLiteral("claudeMdNotInstalled"));
    {
        auto* layout = new QVBoxLayout(notInstalled_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        confirmation_ = new QCheckBox(tr("上記の内容を確認しました。~/.claude/CLAUDE.md に追記します。"));
        confirmation_->setObjectName(QStringLiteral("claudeMdConfirmation"));
        confirmation_->setFont(DashboardStyle::font(11));
        confirmation_->setChecked(sheet_.state().hasConfirmedClaudeMdText);
        connect(confirmation_, &QCheckBox::toggled, this, [this](bool checked) {
            sheet_.state().hasConfirmedClaudeMdText = checked;
            showState();
        });
        layout->addWidget(confirmation_);
        QLabel* backup = makeCaption(
            tr("追記前に %1/CLAUDE.md.brisvane-backup-… という名前でバックアップを作ります。あとから設定 → 連携タブ、またはこの画面へ戻って撤去すると、追加したブロックだけをきれいに取り除けます。")
                .arg(claudeHome),
            10);
        backup->setObjectName(QStringLiteral("claudeMdBackupCaption"));
        layout->addWidget(backup);
        add_ = new QPushButton(tr("追加する"));
        add_->setObjectName(QStringLiteral("addClaudeMdBlockButton"));
        add_->setAutoDefault(false);
        connect(add_, &QPushButton::clicked, this,
                [this] { performClaudeMdChange([this] { return sheet_.claudeMdEditor().install(); }); });
        layout->addWidget(add_, 0, Qt::AlignLeading);
    }
    stack->addWidget(notInstalled_);

    error_ = makeLeadText(QString(), 11);
    error_->setObjectName(QStringLiteral("claudeMdError"));
    setTextColor(*error_, red());
    stack->addWidget(error_);

    // The step's task: the file may have been edited since the last visit.
    readInstalledState();
    showState();
}

void OnboardingVoiceLineConsentStep::readInstalledState()
{
    const auto data = sheet_.viewModel().parameters().fileSystem->readData(sheet_.claudeMdEditor().configuration().path);
    const std::optional<QString> text = data ? StrictUtf8::decode(*data) : std::nullopt;
    sheet_.state().isClaudeMdBlockInstalled = text && text->contains(ClaudeMdAnnouncementBlock::startMarker());
}

void OnboardingVoiceLineConsentStep::performClaudeMdChange(const std::function<ClaudeMdEditor::Outcome()>& change)
{
    OnboardingView::State& state = sheet_.state();
    std::optional<QString> failure;
    try {
        if (const ClaudeMdEditor::Outcome outcome = change(); !outcome) failure = outcome.error().userMessage();
    } catch (const std::exception&) {
        // A failure the editor did not foresee (from the file layer beneath it).
        failure = tr("CLAUDE.mdを更新できませんでした");
    }
    state.claudeMdErrorMessage = failure;
    if (!failure) readInstalledState();
    showState();
}

void OnboardingVoiceLineConsentStep::showState()
{
    const OnboardingView::State& state = sheet_.state();
    installed_->setVisible(state.isClaudeMdBlockInstalled);
    notInstalled_->setVisible(!state.isClaudeMdBlockInstalled);
    add_->setEnabled(state.hasConfirmedClaudeMdText);
    error_->setText(state.claudeMdErrorMessage.value_or(QString()));
    error_->setVisible(state.claudeMdErrorMessage.has_value());
}

} // namespace brisvane
