#pragma once

#include <QString>

#include <utility>

namespace brisvane {

// The state of one integration as read from the agent's settings.
struct HookInstallState {
    enum class Kind {
        conflicting,  // another command holds the status line (never said of the Stop hook)
        notInstalled,
        installed,
    };

    Kind kind = Kind::notInstalled;
    // The command that holds the slot, for `conflicting` only.
    QString existingCommand;

    static HookInstallState conflicting(QString command) { return {Kind::conflicting, std::move(command)}; }
    static HookInstallState notInstalled() { return {Kind::notInstalled, {}}; }
    static HookInstallState installed() { return {Kind::installed, {}}; }

    // "衝突あり", "未導入" or "導入済み", localised.
    QString displayName() const;

    friend bool operator==(const HookInstallState&, const HookInstallState&) = default;
};

} // namespace brisvane
