#include "app/Services/voice/VoicevoxSpeaker.hpp"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QThread>

#include <algorithm>

namespace brisvane {

namespace {

Q_LOGGING_CATEGORY(lcVoicevoxSpeaker, "brisvane.VoicevoxSpeaker")

} // namespace

std::optional<int64_t> VoicevoxSpeaker::speakerId(AnnouncementVoice voice)
{
    switch (voice) {
    case AnnouncementVoice::zundamon:
        return 3;
    case AnnouncementVoice::tohokuZunko:
        return 107;
    case AnnouncementVoice::kuronoTakehiro:
        return 11;
    case AnnouncementVoice::aoyamaRyuusei:
        return 13;
    case AnnouncementVoice::kotoneNia:
        return 74;
    case AnnouncementVoice::system:
        break;
    }
    return std::nullopt;
}

VoicevoxSpeaker::VoicevoxSpeaker(int64_t speakerId, std::shared_ptr<VoicevoxHTTPRequesting> httpClient,
                                 std::shared_ptr<VoicevoxAudioPlaying> audioPlayer,
                                 std::shared_ptr<AnnouncementSpeaking> fallback, FailureReporter notifyFailure,
                                 QObject* parent)
    : QObject(parent)
    , speakerId_(speakerId)
    , httpClient_(std::move(httpClient))
    , audioPlayer_(std::move(audioPlayer))
    , fallback_(std::move(fallback))
    , notifyFailure_(std::move(notifyFailure))
{
}

VoicevoxSpeaker::~VoicevoxSpeaker() = default;

void VoicevoxSpeaker::speak(const Announcement& announcement, Finished finished)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const uint64_t serial = ++nextSerial_;
    items_.push_back({serial, announcement, std::move(finished), std::nullopt, std::nullopt});
    // The requests start now, whatever is still playing; only the playback waits its turn.
    httpClient_->fetchAudioQuery(
        announcement.message, speakerId_,
        [self = QPointer(this), serial](Result<QByteArray, VoicevoxRequestError> query) {
            if (!self) return;
            if (!query) {
                self->synthesisEnded(serial, std::move(query));
                return;
            }
            self->httpClient_->synthesize(query.value(), self->speakerId_,
                                          [self, serial](Result<QByteArray, VoicevoxRequestError> wav) {
                                              if (self) self->synthesisEnded(serial, std::move(wav));
                                          });
        });
}

void VoicevoxSpeaker::synthesisEnded(uint64_t serial, Result<QByteArray, VoicevoxRequestError> wav)
{
    const auto item = std::find_if(items_.begin(), items_.end(),
                                   [serial](const Item& candidate) { return candidate.serial == serial; });
    if (item == items_.end()) return;
    if (wav) {
        item->wav = std::move(wav).value();
    } else {
        item->synthesisFailure = description(wav.error());
    }
    playReadyItems();
}

void VoicevoxSpeaker::playReadyItems()
{
    while (!playing_ && !items_.empty() && items_.front().isReady()) {
        Item item = std::move(items_.front());
        items_.pop_front();
        playing_ = true;
        Finished ended = [self = QPointer(this), finished = std::move(item.finished)] {
            if (self) self->turnEnded(finished);
        };
        if (item.synthesisFailure) {
            fallBack(item, Failure::synthesis, *item.synthesisFailure, std::move(ended));
            continue;
        }
        qCInfo(lcVoicevoxSpeaker).noquote()
            << QStringLiteral("VOICEVOX合成成功: speakerId=%1 wavBytes=%2").arg(speakerId_).arg(item.wav->size());
        const Result<void, VoicevoxPlaybackError> played = audioPlayer_->play(*item.wav, ended);
        if (!played) fallBack(item, Failure::playback, played.error().description(), std::move(ended));
    }
}

void VoicevoxSpeaker::fallBack(const Item& item, Failure failure, const QString& error, Finished turnEnded)
{
    if (failure == Failure::synthesis) {
        qCWarning(lcVoicevoxSpeaker).noquote()
            << QStringLiteral("VOICEVOXへの合成に失敗しシステム標準音声へフォールバック: speakerId=%1 error=%2")
                   .arg(speakerId_)
                   .arg(error);
        if (notifyFailure_) {
            notifyFailure_(QLatin1String(kSynthesisFailureKey),
                           QCoreApplication::translate("VoicevoxSpeaker",
                                                       "VOICEVOXに接続できません。システム標準の声で読み上げます"),
                           error);
        }
    } else {
        qCWarning(lcVoicevoxSpeaker).noquote()
            << QStringLiteral("VOICEVOXの音声再生に失敗しシステム標準音声へフォールバック: speakerId=%1 error=%2")
                   .arg(speakerId_)
                   .arg(error);
        if (notifyFailure_) {
            notifyFailure_(QLatin1String(kPlaybackFailureKey),
                           QCoreApplication::translate("VoicevoxSpeaker", "音声の再生に失敗しました"), error);
        }
    }
    fallback_->speak(item.announcement, std::move(turnEnded));
}

void VoicevoxSpeaker::turnEnded(Finished finished)
{
    playing_ = false;
    playReadyItems();
    if (finished) finished();
}

} // namespace brisvane
