#include "app/Views/SystemSettingsExplanationOpener.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

namespace brisvane {

SystemSettingsExplanationOpener::SystemSettingsExplanationOpener(QString claudeHome)
    : claudeHome_(std::move(claudeHome))
{
}

QString SystemSettingsExplanationOpener::explanation() const
{
    return QCoreApplication::translate(
               "SystemSettingsExplanationOpener",
               "Brisvaneは「%1」フォルダの中身を一覧して読み取ります。このフォルダと中のファイルに、"
               "Brisvaneを実行しているユーザーの読み取り権限（フォルダには実行権限も）を与えてください。"
               "例: chmod -R u+rX \"%1\"")
        .arg(claudeHome_);
}

void SystemSettingsExplanationOpener::openPrivacySettings() const
{
    auto* box = new QMessageBox(QMessageBox::Information,
                                QCoreApplication::translate("SystemSettingsExplanationOpener",
                                                            "「~/.claude」へのアクセスを許可するには"),
                                explanation(), QMessageBox::Ok, QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->open();
}

} // namespace brisvane
