#pragma once

#include <QLocale>
#include <QString>

#include <functional>

namespace brisvane {

// The system's text-to-speech engine, one utterance at a time.
class SpeechSynthesizing {
public:
    virtual ~SpeechSynthesizing() = default;

    // Speaks the text with a voice of the locale's language when the system has one, else with
    // any voice it has. Calls `finished` once from the event loop, never from within `say`, when
    // the utterance has ended (`spoken` true) or could not be spoken (false); the next `say` waits
    // for it. Dropped if the engine is destroyed first.
    virtual void say(const QString& text, const QLocale& locale, std::function<void(bool spoken)> finished) = 0;
};

} // namespace brisvane
