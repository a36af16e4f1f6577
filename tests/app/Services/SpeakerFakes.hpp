#pragma once

// Stand-ins for what the speakers drive: a speaker that records what it is asked to say, an audio
// player that records clips, and a text-to-speech engine. Each ends an utterance or a clip when
// the test says so (or, when asked, at the next turn of the event loop), never from within the
// call.

#include "app/Services/voice/AnnouncementSpeaking.hpp"
#include "app/Services/voice/SpeechSynthesizing.hpp"
#include "app/Services/voice/VoicevoxAppLaunching.hpp"
#include "app/Services/voice/VoicevoxAudioPlaying.hpp"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace brisvane::test {

class RecordingSpeaker final : public AnnouncementSpeaking {
public:
    void speak(const Announcement& announcement, Finished finished) override
    {
        spoken << announcement;
        if (endsAtOnce) {
            if (finished) QTimer::singleShot(0, &context_, std::move(finished));
        } else {
            pending.push_back(std::move(finished));
        }
    }
    // Ends the oldest speech still going.
    void finishOne()
    {
        ASSERT_FALSE(pending.empty());
        Finished finished = std::move(pending.front());
        pending.erase(pending.begin());
        if (finished) finished();
    }

    QList<Announcement> spoken;
    bool endsAtOnce = true;
    std::vector<Finished> pending;

private:
    QObject context_;
};

class FakeAudioPlayer final : public VoicevoxAudioPlaying {
public:
    Result<void, VoicevoxPlaybackError> play(const QByteArray& wavData, std::function<void()> finished) override
    {
        if (failure) return *failure;
        if (playing()) overlapped = true;
        played << wavData;
        pending_ = std::move(finished);
        return {};
    }
    bool playing() const { return pending_.has_value(); }
    // Ends the clip that is playing.
    void finishClip()
    {
        ASSERT_TRUE(playing());
        std::function<void()> finished = std::move(*pending_);
        pending_.reset();
        finished();
    }

    QList<QByteArray> played;
    std::optional<VoicevoxPlaybackError> failure;
    // A clip started while another was still playing.
    bool overlapped = false;

private:
    std::optional<std::function<void()>> pending_;
};

class FakeSynthesizer final : public SpeechSynthesizing {
public:
    struct Utterance {
        QString text;
        QString locale;
    };

    void say(const QString& text, const QLocale& locale, std::function<void(bool)> finished) override
    {
        if (pending_) overlapped = true;
        said.push_back({text, locale.name()});
        pending_ = std::move(finished);
    }
    bool speaking() const { return pending_.has_value(); }
    // `spoken` false: the engine could not say it.
    void finishUtterance(bool spoken = true)
    {
        ASSERT_TRUE(speaking());
        std::function<void(bool)> finished = std::move(*pending_);
        pending_.reset();
        finished(spoken);
    }

    std::vector<Utterance> said;
    // Asked to speak while still speaking: the engine would have cut the first one short.
    bool overlapped = false;

private:
    std::optional<std::function<void(bool)>> pending_;
};

// A VOICEVOX launcher whose answers the test sets, counting its launches.
class CountingLauncher final : public VoicevoxAppLaunching {
public:
    bool isInstalled() const override { return installed; }
    bool launch() override
    {
        launches++;
        return launchSucceeds;
    }

    bool installed = true;
    bool launchSucceeds = true;
    int launches = 0;
};

} // namespace brisvane::test
