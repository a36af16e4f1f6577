#include "app/Services/voice/QtAudioVoicevoxAudioPlayer.hpp"

#include "app/Models/WavAudio.hpp"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace brisvane {

namespace {

Q_LOGGING_CATEGORY(lcVoicevoxAudioPlayer, "brisvane.VoicevoxAudioPlayer")

QAudioFormat::SampleFormat qtSampleFormat(WavSampleFormat format)
{
    switch (format) {
    case WavSampleFormat::unsignedInt8:
        return QAudioFormat::UInt8;
    case WavSampleFormat::signedInt32:
        return QAudioFormat::Int32;
    case WavSampleFormat::float32:
        return QAudioFormat::Float;
    case WavSampleFormat::signedInt16:
        break;
    }
    return QAudioFormat::Int16;
}

// One clip on its way out: the frames, the sink that pulls them, and the promise to tell when it
// is over. Deletes itself then.
class Clip final : public QObject {
public:
    Clip(const WavAudio& audio, const QAudioDevice& device, const QAudioFormat& format, std::function<void()> finished,
         QObject* parent)
        : QObject(parent)
        , sink_(device, format, this)
        , finished_(std::move(finished))
        // A day at most keeps the milliseconds in an int.
        , lengthMilliseconds_(static_cast<int>(std::ceil(std::min(audio.duration(), 86400.0) * 1000.0)))
    {
        buffer_.setData(audio.frames);
        endTimer_.setSingleShot(true);
        connect(&endTimer_, &QTimer::timeout, this, [this] { end(); });
    }

    ~Clip() override
    {
        disconnect(&sink_, nullptr, this, nullptr);
        sink_.stop();
    }

    // False when the output refused to start; the clip then never reports an end.
    bool start()
    {
        if (!buffer_.open(QIODevice::ReadOnly)) return false;
        sink_.start(&buffer_);
        if (sink_.error() != QAudio::NoError || sink_.state() == QAudio::StoppedState) return false;
        connect(&sink_, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            // Idle: the buffer is drained. Stopped: the output gave up (device gone).
            if (state == QAudio::IdleState || state == QAudio::StoppedState) end();
        });
        endTimer_.start(lengthMilliseconds_ + QtAudioVoicevoxAudioPlayer::kEndGraceMilliseconds);
        return true;
    }

    double volume() const { return sink_.volume(); }

private:
    void end()
    {
        if (ended_) return;
        ended_ = true;
        endTimer_.stop();
        disconnect(&sink_, nullptr, this, nullptr);
        sink_.stop();
        // The owner hears of the end from the event loop, after this clip is gone.
        if (QObject* owner = parent()) QTimer::singleShot(0, owner, std::move(finished_));
        deleteLater();
    }

    QBuffer buffer_;
    QAudioSink sink_;
    QTimer endTimer_;
    std::function<void()> finished_;
    int lengthMilliseconds_;
    bool ended_ = false;
};

} // namespace

QtAudioVoicevoxAudioPlayer::QtAudioVoicevoxAudioPlayer(QObject* parent)
    : QObject(parent)
{
}

QtAudioVoicevoxAudioPlayer::~QtAudioVoicevoxAudioPlayer() = default;

Result<void, VoicevoxPlaybackError> QtAudioVoicevoxAudioPlayer::play(const QByteArray& wavData,
                                                                    std::function<void()> finished)
{
    Q_ASSERT(QThread::currentThread() == thread());
    // The bytes are checked before any audio device is touched.
    const Result<WavAudio, WavAudioError> audio = WavAudio::parse(wavData);
    if (!audio) return VoicevoxPlaybackError::invalidAudio(audio.error());

    QAudioFormat format;
    format.setSampleRate(audio->sampleRate);
    format.setChannelCount(audio->channelCount);
    format.setSampleFormat(qtSampleFormat(audio->sampleFormat));
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        qCWarning(lcVoicevoxAudioPlayer) << "音声の出力先がありません";
        return VoicevoxPlaybackError{};
    }
    if (!device.isFormatSupported(format)) {
        qCWarning(lcVoicevoxAudioPlayer).noquote() << "音声の出力先がこの形式を再生できません:" << device.description();
        return VoicevoxPlaybackError{};
    }

    auto* clip = new Clip(*audio, device, format, std::move(finished), this);
    if (!clip->start()) {
        delete clip;
        return VoicevoxPlaybackError{};
    }
    qCInfo(lcVoicevoxAudioPlayer).noquote()
        << QStringLiteral("音声再生開始: duration=%1s volume=%2").arg(audio->duration()).arg(clip->volume());
    return {};
}

} // namespace brisvane
