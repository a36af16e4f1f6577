#include "app/Views/IntegrationSettingsTab.hpp"

#include "app/Views/SettingsForm.hpp"
#include "app/Views/SettingsWindow.hpp"
#include "tests/app/Views/AgentHomeModelFixture.hpp"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>

using namespace brisvane;
using namespace brisvane::test;

namespace {

struct ShownState {
    QString accessibleName;
    QString text;
    QColor dot;
};

// What a state row shows: its combined accessibility label, its text and its dot's colour.
ShownState shownState(const QWidget& tab, const QString& rowName)
{
    auto* row = tab.findChild<QWidget*>(rowName);
    EXPECT_NE(row, nullptr) << rowName.toStdString();
    if (!row) return {};
    ShownState state{row->accessibleName(), {}, {}};
    for (QLabel* label : row->findChildren<QLabel*>()) {
        if (label->property("dotColor").isValid()) {
            state.dot = label->property("dotColor").value<QColor>();
        } else {
            state.text = label->text();
        }
    }
    return state;
}

QPushButton* button(const QWidget& parent, const QString& name)
{
    auto* found = parent.findChild<QPushButton*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

void answer(QMessageBox* box, const QString& choice)
{
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* candidate : box->buttons()) {
        if (candidate->text() == choice) {
            candidate->click();
            return;
        }
    }
    FAIL() << "no button " << choice.toStdString();
}

QJsonObject json(const QByteArray& bytes)
{
    return QJsonDocument::fromJson(bytes).object();
}

bool visible(const IntegrationSettingsTab& tab, const QString& name)
{
    auto* widget = tab.findChild<QWidget*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget && widget->isVisibleTo(&tab);
}

using IntegrationTab = AgentHomeModelFixture;

TEST_F(IntegrationTab, WithoutSettingsFileBothCanBeInstalledAndRemoved)
{
    IntegrationSettingsTab tab(*model);
    tab.show();
    ASSERT_FALSE(QFileInfo::exists(settingsPath()));

    for (const auto& [row, name] : {std::pair{"statusLineState", "プラン使用率ゲージ（statusLine） 未導入"},
                                    std::pair{"stopState", "結論の読み上げ（Stopフック） 未導入"}}) {
        const ShownState state = shownState(tab, row);
        EXPECT_EQ(state.accessibleName, name);
        EXPECT_EQ(state.text, "状態: 未導入");
        EXPECT_EQ(state.dot, SettingsForm::grey());
    }
    for (const char* name : {"statusLineActionButton", "stopActionButton", "uninstallAllButton"}) {
        EXPECT_TRUE(button(tab, name)->isEnabled()) << name;
    }
    EXPECT_EQ(button(tab, "statusLineActionButton")->text(), "導入");
    EXPECT_FALSE(visible(tab, "settingsUnreadableWarning"));
    EXPECT_FALSE(visible(tab, "statusLineConflict"));
    EXPECT_EQ(tab.findChild<QLabel*>("installedScriptsDirectory")->text(), scriptsDirectory());
    EXPECT_EQ(shownState(tab, "scriptsState").text, "状態: 未配置");

    button(tab, "stopActionButton")->click();
    EXPECT_EQ(shownState(tab, "stopState").text, "状態: 導入済み");
    EXPECT_EQ(shownState(tab, "stopState").dot, SettingsForm::green());
    EXPECT_EQ(button(tab, "stopActionButton")->text(), "撤去");
    EXPECT_EQ(shownState(tab, "statusLineState").text, "状態: 未導入");
    EXPECT_TRUE(settings().contains("brisvane-say.sh"));

    button(tab, "statusLineActionButton")->click();
    EXPECT_EQ(shownState(tab, "statusLineState").text, "状態: 導入済み");
    EXPECT_EQ(shownState(tab, "scriptsState").text, "状態: 最新");
    EXPECT_EQ(shownState(tab, "scriptsState").accessibleName, "フックスクリプト 最新");
    EXPECT_EQ(shownState(tab, "scriptsState").dot, SettingsForm::green());

    button(tab, "stopActionButton")->click();
    EXPECT_EQ(shownState(tab, "stopState").text, "状態: 未導入");
    EXPECT_FALSE(settings().contains("brisvane-say.sh"));
    EXPECT_EQ(shownState(tab, "statusLineState").text, "状態: 導入済み");
    EXPECT_TRUE(model->appNotificationCenter().activeNotifications().isEmpty());
}

// A damaged file is never written over: every changing button is off and the warning shows.
TEST_F(IntegrationTab, UnreadableOrInvalidSettingsDisableEveryChange)
{
    const auto folderInPlace = [this] { ASSERT_TRUE(QDir().mkpath(settingsPath())); };
    const auto text = [this](QByteArray bytes) { return [this, bytes] { writeSettings(bytes); }; };
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"a folder where the file should be", folderInPlace},
        {"not JSON", text("{\"statusLine\": ")},
        {"JSON but not an object", text("[1, 2]")},
    };
    for (const auto& [name, damage] : cases) {
        SCOPED_TRACE(name);
        QDir(claudeHome()).removeRecursively();
        QDir().mkpath(claudeHome());
        damage();
        IntegrationSettingsTab tab(*model);
        tab.show();
        EXPECT_TRUE(visible(tab, "settingsUnreadableWarning"));
        EXPECT_EQ(tab.findChild<QLabel*>("settingsUnreadableWarning")->text().mid(2),
                  "設定ファイルを読み取れないため、導入・撤去はできません（壊れたファイルを上書きしないための安全策です）。");
        for (const char* changing : {"statusLineActionButton", "stopActionButton", "replaceStatusLineButton",
                                     "uninstallAllButton"}) {
            EXPECT_FALSE(button(tab, changing)->isEnabled()) << changing;
        }
        EXPECT_EQ(shownState(tab, "statusLineState").text, "状態: 未導入");
        EXPECT_EQ(shownState(tab, "stopState").text, "状態: 未導入");
    }
}

TEST_F(IntegrationTab, ForeignStatusLineIsReplacedOnlyAfterConfirmation)
{
    // Markup in the command must show as written.
    const QString foreign = "npx ccstatusline --theme <b>bold</b>";
    writeSettings(QJsonDocument(QJsonObject{{"statusLine", QJsonObject{{"type", "command"}, {"command", foreign}}},
                                            {"model", "opus"}})
                      .toJson());
    IntegrationSettingsTab tab(*model);
    tab.show();

    const ShownState state = shownState(tab, "statusLineState");
    EXPECT_EQ(state.text, "状態: 衝突あり");
    EXPECT_EQ(state.dot, SettingsForm::orange());
    EXPECT_TRUE(visible(tab, "statusLineConflict"));
    EXPECT_FALSE(visible(tab, "statusLineActionButton"));
    auto* command = tab.findChild<QLabel*>("existingStatusLineCommand");
    EXPECT_EQ(command->text(), foreign);
    EXPECT_EQ(command->textFormat(), Qt::PlainText);
    EXPECT_TRUE(command->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    EXPECT_EQ(shownState(tab, "stopState").text, "状態: 未導入");
    EXPECT_TRUE(button(tab, "stopActionButton")->isVisibleTo(&tab));

    // Keeping the existing one changes nothing.
    const QByteArray before = settings();
    button(tab, "replaceStatusLineButton")->click();
    ASSERT_TRUE(tab.isConfirmingStatusLineReplacement());
    QMessageBox* box = tab.statusLineReplacementConfirmation();
    EXPECT_EQ(box->text(), "既存のstatusLine設定を置き換えますか？");
    EXPECT_EQ(box->informativeText(),
              "現在の設定:\n" + foreign
                  + "\n\n置き換える前に設定ファイル全体のバックアップを作ります。元に戻したいときはバックアップから復元できます。");
    auto* informative = box->findChild<QLabel*>("qt_msgbox_informativelabel");
    ASSERT_NE(informative, nullptr);
    EXPECT_EQ(informative->textFormat(), Qt::PlainText);
    answer(box, "既存を残す");
    EXPECT_FALSE(tab.isConfirmingStatusLineReplacement());
    EXPECT_EQ(settings(), before);
    EXPECT_EQ(shownState(tab, "statusLineState").text, "状態: 衝突あり");

    button(tab, "replaceStatusLineButton")->click();
    answer(tab.statusLineReplacementConfirmation(), "置き換える");
    EXPECT_FALSE(tab.isConfirmingStatusLineReplacement());
    const QJsonObject after = json(settings());
    EXPECT_EQ(after.value("model").toString(), "opus");
    EXPECT_EQ(after.value("statusLine").toObject().value("command").toString(),
              model->hookInstaller().command(HookKind::statusLine));
    EXPECT_EQ(shownState(tab, "statusLineState").text, "状態: 導入済み");
    EXPECT_FALSE(visible(tab, "statusLineConflict"));
    EXPECT_EQ(button(tab, "statusLineActionButton")->text(), "撤去");
    // The file as it was is kept beside it.
    EXPECT_EQ(QDir(claudeHome()).entryList({"settings.json.brisvane-backup-*"}, QDir::Files).size(), 1);
}

TEST_F(IntegrationTab, RemovingEverythingAsksFirst)
{
    model->installHook(HookKind::statusLine);
    model->installHook(HookKind::stop);
    IntegrationSettingsTab tab(*model);
    tab.show();
    ASSERT_EQ(shownState(tab, "stopState").text, "状態: 導入済み");
    ASSERT_TRUE(QFileInfo::exists(scriptsDirectory()));
    const QByteArray installed = settings();

    button(tab, "uninstallAllButton")->click();
    ASSERT_TRUE(tab.isConfirmingUninstallAll());
    EXPECT_EQ(tab.uninstallAllConfirmation()->text(), "連携をすべて撤去しますか？");
    EXPECT_EQ(settings(), installed);
    answer(tab.uninstallAllConfirmation(), "やめる");
    EXPECT_FALSE(tab.isConfirmingUninstallAll());
    EXPECT_EQ(settings(), installed);

    button(tab, "uninstallAllButton")->click();
    answer(tab.uninstallAllConfirmation(), "撤去する");
    EXPECT_FALSE(tab.isConfirmingUninstallAll());
    EXPECT_EQ(shownState(tab, "statusLineState").text, "状態: 未導入");
    EXPECT_EQ(shownState(tab, "stopState").text, "状態: 未導入");
    EXPECT_EQ(shownState(tab, "scriptsState").text, "状態: 未配置");
    EXPECT_FALSE(QFileInfo::exists(scriptsDirectory()));
    EXPECT_FALSE(settings().contains("brisvane"));
}

TEST_F(IntegrationTab, FailuresArePostedOnceWithARisingCount)
{
    // A file where the scripts' folder should be: the script cannot be placed.
    writeFile(scriptsDirectory(), "in the way");
    IntegrationSettingsTab tab(*model);
    tab.show();

    for (int attempt = 1; attempt <= 2; attempt++) {
        button(tab, "stopActionButton")->click();
        const QList<AppNotification> notices = model->appNotificationCenter().activeNotifications();
        ASSERT_EQ(notices.size(), 1);
        EXPECT_EQ(notices.front().dedupeKey, "hook.install.stop");
        EXPECT_EQ(notices.front().title, "結論の読み上げ（Stopフック）を導入できませんでした");
        EXPECT_EQ(notices.front().severity, AppNotificationSeverity::error);
        EXPECT_TRUE(notices.front().detail.has_value());
        EXPECT_EQ(notices.front().occurrenceCount, attempt);
    }
    EXPECT_EQ(shownState(tab, "stopState").text, "状態: 未導入");
    EXPECT_FALSE(QFileInfo::exists(settingsPath()));
}

// The window shows the tab only when it is chosen; each showing reads the files again.
TEST_F(IntegrationTab, StatusIsReadAgainEachTimeTheTabIsShown)
{
    SettingsWindow* window = SettingsWindow::open(*model, SettingsTab::integration);
    auto* tab = qobject_cast<IntegrationSettingsTab*>(window->tabs().widget(int(SettingsTab::integration)));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(shownState(*tab, "statusLineState").text, "状態: 未導入");

    window->tabs().setCurrentIndex(int(SettingsTab::display));
    writeSettings(R"({"statusLine": {"type": "command", "command": "other-tool"}})");
    EXPECT_EQ(shownState(*tab, "statusLineState").text, "状態: 未導入");
    window->tabs().setCurrentIndex(int(SettingsTab::integration));
    EXPECT_EQ(shownState(*tab, "statusLineState").text, "状態: 衝突あり");
    EXPECT_EQ(tab->findChild<QLabel*>("existingStatusLineCommand")->text(), "other-tool");
    window->close();
}

} // namespace
