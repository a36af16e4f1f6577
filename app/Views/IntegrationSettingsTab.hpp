#pragma once

#include "app/Models/HookKind.hpp"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace brisvane {

class ColorDot;

class DashboardViewModel;

// The settings window's integration tab: the state of the status-line command, the Stop hook and
// the installed scripts, with buttons that install and remove each one, replace a foreign status
// line and remove everything, the last two after a confirmation. It owns nothing but the two
// confirmation flags: it shows the model's `hookInstallationStatus`, acts through the model's
// hook actions (which report failures and re-read the status) and re-reads the status each time
// it is shown. While the agent's settings cannot be read every changing button is disabled, so a
// damaged file is never written over.
class IntegrationSettingsTab final : public QWidget {
    Q_OBJECT
public:
    explicit IntegrationSettingsTab(DashboardViewModel& model, QWidget* parent = nullptr);

    bool isConfirmingStatusLineReplacement() const { return !replacementConfirmation_.isNull(); }
    bool isConfirmingUninstallAll() const { return !uninstallAllConfirmation_.isNull(); }
    // The open confirmation, if any (window-modal, opened without a nested event loop).
    QMessageBox* statusLineReplacementConfirmation() const { return replacementConfirmation_; }
    QMessageBox* uninstallAllConfirmation() const { return uninstallAllConfirmation_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct StateRow {
        QWidget* row = nullptr;
        ColorDot* dot = nullptr;
        QLabel* text = nullptr;
    };

    StateRow makeStateRow(const QString& objectName);
    QWidget* makeActionButtons(HookKind kind);
    void showStatus();
    void confirmStatusLineReplacement();
    void confirmUninstallAll();

    DashboardViewModel& model_;
    QLabel* unreadableWarning_ = nullptr;
    StateRow statusLineRow_;
    StateRow stopRow_;
    StateRow scriptsRow_;
    QWidget* statusLineConflict_ = nullptr;
    QLabel* existingCommand_ = nullptr;
    QPushButton* replaceButton_ = nullptr;
    QWidget* statusLineActions_ = nullptr;
    QPushButton* statusLineButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* uninstallAllButton_ = nullptr;
    QPointer<QMessageBox> replacementConfirmation_;
    QPointer<QMessageBox> uninstallAllConfirmation_;
};

} // namespace brisvane
