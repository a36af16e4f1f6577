#pragma once

#include "app/Services/voice/SpeechSynthesizing.hpp"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QLocalSocket;
class QTextToSpeech;

namespace brisvane {

// `SpeechSynthesizing` through QTextToSpeech (speech-dispatcher on Linux). The voice is chosen
// from the voices the engine has, whatever the process's own locale (a C locale offers none).
// An engine that cannot be reached makes the utterance silence and is made anew at the next one,
// so a speech daemon that starts later is used then. Before speech-dispatcher's engine is made,
// a daemon socket that is there is asked for an answer first, without blocking: its client
// library would wait on a daemon that never answers forever, on this thread. Failures are logged
// once. Lives on the GUI thread.
class QtTextToSpeechSynthesizer final : public QObject, public SpeechSynthesizing {
    Q_OBJECT

public:
    // How long a speech-dispatcher socket may take to answer before it counts as unreachable.
    static constexpr int kDaemonAnswerTimeoutMilliseconds = 2000;
    // How long an utterance may take to begin before it counts as lost (a daemon that never
    // answers would otherwise hold every later announcement).
    static constexpr int kStartTimeoutMilliseconds = 10000;

    // `engineName`: a QTextToSpeech plug-in; empty for the system's default.
    explicit QtTextToSpeechSynthesizer(const QString& engineName = {}, QObject* parent = nullptr);
    ~QtTextToSpeechSynthesizer() override;

    void say(const QString& text, const QLocale& locale, std::function<void(bool spoken)> finished) override;

    // Whether the engine was reachable when last made; it is made anew while it is not.
    bool isAvailable() const { return speech_ != nullptr; }

private:
    struct Pending {
        QString text;
        QLocale locale;
    };
    // Makes the engine when there is none; false when it cannot start.
    bool ensureEngine();
    // Speaks `pending_` with a started engine, or ends it unspoken.
    void speakPending();
    // Whether this engine is speech-dispatcher's, whose daemon is asked first.
    bool usesSpeechDispatcher() const;
    void askDaemon(const QString& socketPath);
    void daemonAsked(bool answered);
    void dropEngine();
    void handleStateChanged(int state);
    void handleError(const QString& message, bool engineLost);
    void chooseVoice(const QLocale& locale);
    void finishUtterance(bool spoken);
    void logFailureOnce(const QString& message);

    QString engineName_;
    QTextToSpeech* speech_ = nullptr;
    bool errorLogged_ = false;
    bool began_ = false;
    bool choosingVoice_ = false;
    std::function<void(bool)> finished_;
    Pending pending_;
    QTimer startTimer_;
    QPointer<QLocalSocket> daemonQuestion_;
    QTimer daemonTimer_;
};

} // namespace brisvane
