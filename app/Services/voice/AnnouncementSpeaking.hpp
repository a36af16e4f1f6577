#pragma once

#include "app/Models/Announcement.hpp"

#include <functional>

namespace brisvane {

// Something that says announcements out loud. Used on the GUI thread.
class AnnouncementSpeaking {
public:
    using Finished = std::function<void()>;

    virtual ~AnnouncementSpeaking() = default;

    // Speaks the announcement's message after everything this speaker was given before, and
    // returns at once; failures are handled inside. `finished`, when given, is called once from the
    // event loop, never from within `speak`, when the speech has ended or could not be made, so
    // that a caller can keep its own sounds from overlapping. It is dropped if the speaker is
    // destroyed first.
    virtual void speak(const Announcement& announcement, Finished finished = {}) = 0;
};

} // namespace brisvane
