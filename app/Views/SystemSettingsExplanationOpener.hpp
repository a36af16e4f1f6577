#pragma once

#include "app/Services/integration/SystemSettingsOpening.hpp"

#include <QString>

namespace brisvane {

// Linux has no privacy pane that grants an application a folder: access is the folder's own
// permissions. So "open the settings" shows which folder must be readable and how to allow it,
// in a message box that does not block the dashboard.
class SystemSettingsExplanationOpener final : public SystemSettingsOpening {
public:
    explicit SystemSettingsExplanationOpener(QString claudeHome);

    void openPrivacySettings() const override;

    // The explanation shown, for this agent home.
    QString explanation() const;

private:
    QString claudeHome_;
};

} // namespace brisvane
