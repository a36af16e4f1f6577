#pragma once

#include "app/Models/ResolvedFilePath.hpp"

#include <QUrl>

#include <utility>

namespace brisvane {

// What activating a link in a terminal does: open a web or mail link, open an existing local
// file or folder, or nothing. Only the payload of the chosen case is meaningful.
struct TerminalLinkAction {
    enum class Case { openExternalURL, openLocalPath, ignore };

    Case kind = Case::ignore;
    QUrl url;
    ResolvedFilePath path;

    static TerminalLinkAction openExternalURL(QUrl url) { return {Case::openExternalURL, std::move(url), {}}; }
    static TerminalLinkAction openLocalPath(ResolvedFilePath path)
    {
        return {Case::openLocalPath, {}, std::move(path)};
    }
    static TerminalLinkAction ignore() { return {}; }

    friend bool operator==(const TerminalLinkAction&, const TerminalLinkAction&) = default;
};

} // namespace brisvane
