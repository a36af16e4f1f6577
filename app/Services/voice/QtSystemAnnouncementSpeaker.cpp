#include "app/Services/voice/QtSystemAnnouncementSpeaker.hpp"

#include "app/Services/voice/QtTextToSpeechSynthesizer.hpp"

#include <QPointer>
#include <QThread>

#include <utility>

namespace brisvane {

QtSystemAnnouncementSpeaker::QtSystemAnnouncementSpeaker(SynthesizerFactory makeSynthesizer, QObject* parent)
    : QObject(parent)
    , makeSynthesizer_(std::move(makeSynthesizer))
{
    if (!makeSynthesizer_) makeSynthesizer_ = [] { return std::make_unique<QtTextToSpeechSynthesizer>(); };
}

QtSystemAnnouncementSpeaker::~QtSystemAnnouncementSpeaker() = default;

void QtSystemAnnouncementSpeaker::speak(const Announcement& announcement, Finished finished)
{
    Q_ASSERT(QThread::currentThread() == thread());
    queue_.push_back({announcement.message, locale(announcement.message), std::move(finished)});
    speakNext();
}

bool QtSystemAnnouncementSpeaker::containsJapaneseCharacters(const QString& text)
{
    for (const char32_t scalar : text.toUcs4()) {
        if ((scalar >= 0x3040 && scalar <= 0x30FF) || (scalar >= 0x4E00 && scalar <= 0x9FFF)) return true;
    }
    return false;
}

QLocale QtSystemAnnouncementSpeaker::locale(const QString& text)
{
    return containsJapaneseCharacters(text) ? QLocale(QLocale::Japanese, QLocale::Japan)
                                            : QLocale(QLocale::English, QLocale::UnitedStates);
}

void QtSystemAnnouncementSpeaker::speakNext()
{
    if (speaking_ || queue_.empty()) return;
    if (!synthesizer_) synthesizer_ = makeSynthesizer_();
    speaking_ = true;
    const Utterance& next = queue_.front();
    synthesizer_->say(next.text, next.locale, [self = QPointer(this)](bool spoken) {
        if (self) self->utteranceEnded(spoken);
    });
}

void QtSystemAnnouncementSpeaker::utteranceEnded(bool spoken)
{
    if (spoken) {
        unspeakableReported_ = false;
    } else if (!std::exchange(unspeakableReported_, true) && onUnspeakable) {
        onUnspeakable();
    }
    Finished finished = std::move(queue_.front().finished);
    queue_.pop_front();
    speaking_ = false;
    speakNext();
    if (finished) finished();
}

} // namespace brisvane
