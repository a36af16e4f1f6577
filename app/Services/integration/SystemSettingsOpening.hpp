#pragma once

namespace brisvane {

// Brings the user to where the application's access to the agent's files is granted. Linux has
// no such settings page: the implementation lives with the views and shows the explanation.
class SystemSettingsOpening {
public:
    virtual ~SystemSettingsOpening() = default;

    virtual void openPrivacySettings() const = 0;
};

} // namespace brisvane
