#pragma once

#include "app/Models/GridLayoutPreset.hpp"
#include "app/Models/PinnedProject.hpp"
#include "app/Services/platform/Preferences.hpp"

#include <QList>

namespace brisvane {

// The grid layout to start with: the stored preset id, a legacy id ("2x2"), else 2 x 2.
namespace GridLayoutStore {
inline const QString kKey = QStringLiteral("Brisvane.gridLayoutPreset");
GridLayoutPreset load(const Preferences& preferences);
} // namespace GridLayoutStore

// The terminals' font size in points: 8 to 32, 13 when nothing is stored.
namespace TerminalFontSizeStore {
inline const QString kKey = QStringLiteral("Brisvane.terminalFontSize");
inline constexpr double kMinimum = 8;
inline constexpr double kMaximum = 32;
inline constexpr double kDefault = 13;
double clamp(double size);
double load(const Preferences& preferences);
} // namespace TerminalFontSizeStore

// The pinned projects, one JSON array of {"id", "displayName", "path"} objects.
namespace PinnedProjectStore {
inline const QString kKey = QStringLiteral("Brisvane.pinnedProjects");
// Where stored data that is not a JSON array is kept before the next save replaces it.
inline const QString kBackupKey = QStringLiteral("Brisvane.pinnedProjects.unreadable");
// Every well-formed entry; malformed entries are skipped (and logged). Data that is not a JSON
// array loads empty and is copied to the backup key first, so the next save loses nothing.
QList<PinnedProject> load(Preferences& preferences);
void save(const QList<PinnedProject>& projects, Preferences& preferences);
} // namespace PinnedProjectStore

} // namespace brisvane
