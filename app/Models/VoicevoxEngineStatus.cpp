#include "app/Models/VoicevoxEngineStatus.hpp"

#include <QCoreApplication>

namespace brisvane {

namespace {

constexpr VoicevoxEngineStatus kAllStatuses[] = {
    VoicevoxEngineStatus::unknown,    VoicevoxEngineStatus::connected,    VoicevoxEngineStatus::launching,
    VoicevoxEngineStatus::notRunning, VoicevoxEngineStatus::notInstalled,
};

} // namespace

QString rawValue(VoicevoxEngineStatus status)
{
    switch (status) {
    case VoicevoxEngineStatus::connected:
        return QStringLiteral("connected");
    case VoicevoxEngineStatus::launching:
        return QStringLiteral("launching");
    case VoicevoxEngineStatus::notRunning:
        return QStringLiteral("notRunning");
    case VoicevoxEngineStatus::notInstalled:
        return QStringLiteral("notInstalled");
    case VoicevoxEngineStatus::unknown:
        break;
    }
    return QStringLiteral("unknown");
}

std::optional<VoicevoxEngineStatus> voicevoxEngineStatusFromRawValue(const QString& text)
{
    for (VoicevoxEngineStatus status : kAllStatuses)
        if (rawValue(status) == text) return status;
    return std::nullopt;
}

QString displayName(VoicevoxEngineStatus status)
{
    switch (status) {
    case VoicevoxEngineStatus::connected:
        return QCoreApplication::translate("VoicevoxEngineStatus", "接続OK");
    case VoicevoxEngineStatus::launching:
        return QCoreApplication::translate("VoicevoxEngineStatus", "起動中…");
    case VoicevoxEngineStatus::notRunning:
        return QCoreApplication::translate("VoicevoxEngineStatus", "未起動");
    case VoicevoxEngineStatus::notInstalled:
        return QCoreApplication::translate("VoicevoxEngineStatus", "未インストール");
    case VoicevoxEngineStatus::unknown:
        break;
    }
    return QCoreApplication::translate("VoicevoxEngineStatus", "確認中…");
}

} // namespace brisvane
