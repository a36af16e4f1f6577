#pragma once

namespace brisvane {

// The settings window's tabs, in display order. Never stored.
enum class SettingsTab {
    announcement,
    readingDictionary,
    display,
    integration,
    about,
};

} // namespace brisvane
