#include "app/Services/sessions/SessionStateAppearance.hpp"

#include <QCoreApplication>

namespace brisvane::SessionStateAppearance {

Appearance resolve(const SessionState& state)
{
    switch (state.kind) {
    case SessionState::Case::idle:
        return {Tone::idle, QCoreApplication::translate("SessionStateAppearance", "アイドル"), std::nullopt};
    case SessionState::Case::busy:
        return {Tone::busy, QCoreApplication::translate("SessionStateAppearance", "実行中"), std::nullopt};
    case SessionState::Case::waiting:
        return {Tone::waiting, QCoreApplication::translate("SessionStateAppearance", "許可待ち"), state.reason};
    case SessionState::Case::terminated:
        return {Tone::terminated, QCoreApplication::translate("SessionStateAppearance", "終了"), std::nullopt};
    case SessionState::Case::unknown:
        break;
    }
    return {Tone::unknown, QCoreApplication::translate("SessionStateAppearance", "不明"), std::nullopt};
}

} // namespace brisvane::SessionStateAppearance
