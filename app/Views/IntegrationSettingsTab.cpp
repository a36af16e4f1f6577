#include "app/Views/IntegrationSettingsTab.hpp"

#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/Views/ColorDot.hpp"
#include "app/Views/DashboardStyle.hpp"
#include "app/Views/SettingsForm.hpp"
#include "app/Views/SymbolGlyph.hpp"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace brisvane {

namespace {

QColor dotColor(const HookInstallState& state)
{
    switch (state.kind) {
    case HookInstallState::Kind::installed: return SettingsForm::green();
    case HookInstallState::Kind::conflicting: return SettingsForm::orange();
    case HookInstallState::Kind::notInstalled: break;
    }
    return SettingsForm::grey();
}

const HookInstallState& stateOf(const HookInstallationStatus& status, HookKind kind)
{
    return kind == HookKind::statusLine ? status.statusLine : status.stop;
}

void setTextColor(QLabel& label, const QColor& color)
{
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, color);
    label.setPalette(palette);
}

// Orange caption text.
QLabel* makeWarning(const QString& text)
{
    QLabel* label = SettingsForm::makeCaption(text);
    setTextColor(*label, SettingsForm::orange());
    return label;
}

// A path or a command: shown verbatim, fixed pitch, selectable and wrapping.
QLabel* makeCodeLine(const QString& text, const QString& objectName)
{
    QLabel* label = SettingsForm::makeCaption(text);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setFont(DashboardStyle::monospacedFont(11));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setCursor(Qt::IBeamCursor);
    return label;
}

// A plain-text caption: paths are shown as written, never read as markup.
QLabel* makePlainCaption(const QString& text)
{
    QLabel* label = SettingsForm::makeCaption(text);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* addButtonRow(QGroupBox& section, const QString& text, const QString& objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(button);
    row->addStretch(1);
    static_cast<QVBoxLayout*>(section.layout())->addLayout(row);
    return button;
}

// A destructive confirmation opened window-modal over `parent` without a nested event loop; it
// deletes itself once answered. `confirmed` runs only for the destructive answer.
QMessageBox* openConfirmation(QWidget* parent, const QString& title, const QString& message,
                              const QString& destructive, const QString& cancel, const QString& objectName,
                              std::function<void(bool confirmed)> answered)
{
    auto* box = new QMessageBox(parent);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(title);
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    box->setInformativeText(message);
    // The message may hold a foreign command: never let it be read as markup.
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    QPushButton* destroy = box->addButton(destructive, QMessageBox::DestructiveRole);
    QPushButton* keep = box->addButton(cancel, QMessageBox::RejectRole);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    QObject::connect(box, &QDialog::finished, parent,
                     [box, destroy, answered] { answered(box->clickedButton() == destroy); });
    box->open();
    return box;
}

} // namespace

IntegrationSettingsTab::IntegrationSettingsTab(DashboardViewModel& model, QWidget* parent)
    : QWidget(parent), model_(model)
{
    const HookInstallerConfiguration& configuration = model_.hookInstaller().configuration();
    QVBoxLayout* form = SettingsForm::makeForm(*this);

    QGroupBox* intro = SettingsForm::addSection(*form, QString());
    intro->layout()->addWidget(SettingsForm::makeCaption(
        tr("Claude Codeの設定ファイルにBrisvane用の小さなスクリプトを登録して、プラン使用率ゲージと結論の読み上げを使えるようにします。")));
    intro->layout()->addWidget(makePlainCaption(
        tr("変更するのは %1 です。変更のたびに同じ場所へバックアップ（.brisvane-backup-…）を作り、撤去してもバックアップは消しません。ほかの設定（モデル・ほかのフックなど）には一切触れません。")
            .arg(configuration.settingsPath)));
    unreadableWarning_ = makeWarning(
        SymbolGlyph::text(QStringLiteral("exclamationmark.triangle.fill")) + QLatin1Char(' ')
        + tr("設定ファイルを読み取れないため、導入・撤去はできません（壊れたファイルを上書きしないための安全策です）。"));
    unreadableWarning_->setObjectName(QStringLiteral("settingsUnreadableWarning"));
    SymbolGlyph::tag(*unreadableWarning_, QStringLiteral("exclamationmark.triangle.fill"));
    intro->layout()->addWidget(unreadableWarning_);

    QGroupBox* statusLine = SettingsForm::addSection(*form, displayName(HookKind::statusLine));
    statusLineRow_ = makeStateRow(QStringLiteral("statusLineState"));
    statusLine->layout()->addWidget(statusLineRow_.row);
    statusLine->layout()->addWidget(SettingsForm::makeCaption(summary(HookKind::statusLine)));
    statusLineConflict_ = new QWidget;
    statusLineConflict_->setObjectName(QStringLiteral("statusLineConflict"));
    {
        auto* conflict = new QVBoxLayout(statusLineConflict_);
        conflict->setContentsMargins(0, 0, 0, 0);
        conflict->setSpacing(6);
        conflict->addWidget(makeWarning(
            tr("すでに別のstatusLine設定があります。Claude Codeのstatus lineは1つしか設定できないため、Brisvaneは何もしていません。")));
        existingCommand_ = makeCodeLine(QString(), QStringLiteral("existingStatusLineCommand"));
        conflict->addWidget(existingCommand_);
        conflict->addWidget(SettingsForm::makeCaption(
            tr("このまま何もしなければ既存の設定が残ります（プラン使用率ゲージは使えないままになります）。置き換える場合は、変更前に設定ファイル全体のバックアップを作ります。")));
        replaceButton_ = new QPushButton(tr("Brisvaneのものへ置き換える…"));
        replaceButton_->setObjectName(QStringLiteral("replaceStatusLineButton"));
        replaceButton_->setAutoDefault(false);
        conflict->addWidget(replaceButton_, 0, Qt::AlignLeading);
        connect(replaceButton_, &QPushButton::clicked, this, &IntegrationSettingsTab::confirmStatusLineReplacement);
    }
    statusLine->layout()->addWidget(statusLineConflict_);
    statusLineActions_ = makeActionButtons(HookKind::statusLine);
    statusLine->layout()->addWidget(statusLineActions_);

    QGroupBox* stop = SettingsForm::addSection(*form, displayName(HookKind::stop));
    stopRow_ = makeStateRow(QStringLiteral("stopState"));
    stop->layout()->addWidget(stopRow_.row);
    stop->layout()->addWidget(SettingsForm::makeCaption(summary(HookKind::stop)));
    stop->layout()->addWidget(SettingsForm::makeCaption(tr("ほかのStopフックを使っている場合も、そのまま残したうえで追加します。")));
    stop->layout()->addWidget(makeActionButtons(HookKind::stop));

    QGroupBox* scripts = SettingsForm::addSection(*form, tr("フックスクリプト"));
    scriptsRow_ = makeStateRow(QStringLiteral("scriptsState"));
    scripts->layout()->addWidget(scriptsRow_.row);
    scripts->layout()->addWidget(
        makeCodeLine(configuration.installedScriptsDirectory, QStringLiteral("installedScriptsDirectory")));
    scripts->layout()->addWidget(SettingsForm::makeCaption(
        tr("アプリの中ではなくこの場所から実行します（アプリを移動・削除してもClaude Code側でエラーが出ないようにするためです）。アプリを更新したときは、起動時に自動で最新の内容へ入れ替わります。")));

    QGroupBox* removal = SettingsForm::addSection(*form, QString());
    uninstallAllButton_ = addButtonRow(*removal, tr("すべて撤去"), QStringLiteral("uninstallAllButton"));
    {
        // The destructive role: red text.
        QPalette palette = uninstallAllButton_->palette();
        palette.setColor(QPalette::ButtonText, SettingsForm::red());
        uninstallAllButton_->setPalette(palette);
    }
    connect(uninstallAllButton_, &QPushButton::clicked, this, &IntegrationSettingsTab::confirmUninstallAll);
    removal->layout()->addWidget(SettingsForm::makeCaption(
        tr("設定ファイルからBrisvaneの登録だけを取り除き、配置したスクリプトを削除します。ほかのフック・設定とバックアップはそのまま残ります。")));

    connect(&model_, &DashboardViewModel::hookInstallationStatusChanged, this, &IntegrationSettingsTab::showStatus);
    showStatus();
}

IntegrationSettingsTab::StateRow IntegrationSettingsTab::makeStateRow(const QString& objectName)
{
    StateRow state;
    state.row = new QWidget;
    state.row->setObjectName(objectName);
    auto* layout = new QHBoxLayout(state.row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    state.dot = new ColorDot(8, SettingsForm::grey());
    layout->addWidget(state.dot, 0, Qt::AlignVCenter);
    state.text = new QLabel;
    QFont font = state.text->font();
    font.setPixelSize(12);
    state.text->setFont(font);
    layout->addWidget(state.text, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    return state;
}

QWidget* IntegrationSettingsTab::makeActionButtons(HookKind kind)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* button = new QPushButton;
    button->setObjectName(rawValue(kind) + QStringLiteral("ActionButton"));
    button->setAutoDefault(false);
    layout->addWidget(button);
    layout->addStretch(1);
    (kind == HookKind::statusLine ? statusLineButton_ : stopButton_) = button;
    // The state decides at the click, as the button's text shows it.
    connect(button, &QPushButton::clicked, this, [this, kind] {
        if (stateOf(model_.hookInstallationStatus(), kind).kind == HookInstallState::Kind::installed) {
            model_.uninstallHook(kind);
        } else {
            model_.installHook(kind, false);
        }
    });
    return row;
}

void IntegrationSettingsTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The files may have changed while the tab was away (another window, the user, the agent).
    model_.setHookInstallationStatus(model_.hookInstaller().currentStatus());
}

void IntegrationSettingsTab::showStatus()
{
    const HookInstallationStatus& status = model_.hookInstallationStatus();
    const bool canChange = status.isSettingsReadable;
    unreadableWarning_->setVisible(!canChange);

    const auto showKind = [&](HookKind kind, const StateRow& row, QPushButton& button) {
        const HookInstallState& state = stateOf(status, kind);
        row.dot->setColor(dotColor(state));
        row.text->setText(tr("状態: %1").arg(state.displayName()));
        row.row->setAccessibleName(tr("%1 %2").arg(displayName(kind), state.displayName()));
        button.setText(state.kind == HookInstallState::Kind::installed ? tr("撤去") : tr("導入"));
        button.setEnabled(canChange);
    };
    showKind(HookKind::statusLine, statusLineRow_, *statusLineButton_);
    showKind(HookKind::stop, stopRow_, *stopButton_);

    const bool conflicting = status.statusLine.kind == HookInstallState::Kind::conflicting;
    statusLineConflict_->setVisible(conflicting);
    statusLineActions_->setVisible(!conflicting);
    existingCommand_->setText(status.statusLine.existingCommand);
    replaceButton_->setEnabled(canChange);

    scriptsRow_.dot->setColor(status.scripts == HookScriptsState::upToDate ? SettingsForm::green()
                                                                          : SettingsForm::grey());
    scriptsRow_.text->setText(tr("状態: %1").arg(displayName(status.scripts)));
    scriptsRow_.row->setAccessibleName(tr("フックスクリプト %1").arg(displayName(status.scripts)));

    uninstallAllButton_->setEnabled(canChange);
}

void IntegrationSettingsTab::confirmStatusLineReplacement()
{
    if (replacementConfirmation_) return;
    const HookInstallState& state = model_.hookInstallationStatus().statusLine;
    const QString command = state.kind == HookInstallState::Kind::conflicting ? state.existingCommand : QString();
    replacementConfirmation_ = openConfirmation(
        this, tr("既存のstatusLine設定を置き換えますか？"),
        tr("現在の設定:\n%1\n\n置き換える前に設定ファイル全体のバックアップを作ります。元に戻したいときはバックアップから復元できます。")
            .arg(command),
        tr("置き換える"), tr("既存を残す"), QStringLiteral("statusLineReplacementConfirmation"), [this](bool confirmed) {
            replacementConfirmation_.clear();
            if (confirmed) model_.installHook(HookKind::statusLine, true);
        });
}

void IntegrationSettingsTab::confirmUninstallAll()
{
    if (uninstallAllConfirmation_) return;
    uninstallAllConfirmation_ = openConfirmation(
        this, tr("連携をすべて撤去しますか？"),
        tr("Brisvaneが登録した項目だけを取り除きます。プラン使用率ゲージと結論の読み上げは使えなくなります。"),
        tr("撤去する"), tr("やめる"), QStringLiteral("uninstallAllConfirmation"), [this](bool confirmed) {
            uninstallAllConfirmation_.clear();
            if (confirmed) model_.uninstallAllHooks();
        });
}

} // namespace brisvane
