#pragma once

#include "app/Services/voice/AnnouncementSpeaking.hpp"
#include "app/Services/voice/SpeechSynthesizing.hpp"

#include <QLocale>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

namespace brisvane {

// Speaks announcements with the system's voice, in Japanese when the message holds kana or kanji
// and in US English otherwise. Announcements are said one after another in the order given, and
// none cuts another short. The engine is made at the first announcement, so that starting the
// application never waits on a speech daemon. One per application, shared by the dashboard model
// and the VOICEVOX speakers as their fallback; GUI thread only.
class QtSystemAnnouncementSpeaker final : public QObject, public AnnouncementSpeaking {
    Q_OBJECT

public:
    using SynthesizerFactory = std::function<std::unique_ptr<SpeechSynthesizing>()>;

    // `makeSynthesizer` is called once, at the first announcement; absent, it makes a
    // `QtTextToSpeechSynthesizer` with the system's default engine.
    explicit QtSystemAnnouncementSpeaker(SynthesizerFactory makeSynthesizer = {}, QObject* parent = nullptr);

    // Told at the first announcement that cannot be spoken, and again at the first one after
    // another was spoken: a user who expects to hear announcements learns once that none come.
    std::function<void()> onUnspeakable;
    ~QtSystemAnnouncementSpeaker() override;

    void speak(const Announcement& announcement, Finished finished = {}) override;

    // Whether the text holds a kana (U+3040...U+30FF) or a unified CJK ideograph (U+4E00...U+9FFF).
    // CJK punctuation, full-width forms and the extension blocks do not count.
    static bool containsJapaneseCharacters(const QString& text);
    // ja-JP for a text with Japanese characters, en-US otherwise.
    static QLocale locale(const QString& text);

private:
    struct Utterance {
        QString text;
        QLocale locale;
        Finished finished;
    };

    void speakNext();
    void utteranceEnded(bool spoken);

    SynthesizerFactory makeSynthesizer_;
    std::unique_ptr<SpeechSynthesizing> synthesizer_;
    // The front one is being said while `speaking_`.
    std::deque<Utterance> queue_;
    bool speaking_ = false;
    bool unspeakableReported_ = false;
};

} // namespace brisvane
