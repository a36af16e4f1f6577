#pragma once

#include "app/Services/SpeechSynthesizing.hpp"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QTimer>

#include <functional>

class QTextToSpeech;

namespace brisvane {

// `SpeechSynthesizing` through QTextToSpeech (speech-dispatcher on Linux). An engine that cannot
// be reached makes every utterance silence, logged once: the application never waits on a speech
// daemon it does not have. Lives on the GUI thread.
class QtTextToSpeechSynthesizer final : public QObject, public SpeechSynthesizing {
    Q_OBJECT

public:
    // How long an utterance may take to begin before it counts as lost (a daemon that never
    // answers would otherwise hold every later announcement).
    static constexpr int kStartTimeoutMilliseconds = 10000;

    // `engineName`: a QTextToSpeech plug-in; empty for the system's default.
    explicit QtTextToSpeechSynthesizer(const QString& engineName = {}, QObject* parent = nullptr);
    ~QtTextToSpeechSynthesizer() override;

    void say(const QString& text, const QLocale& locale, std::function<void()> finished) override;

    // False once the engine has failed to start; it is not asked again.
    bool isAvailable() const { return available_; }

private:
    void handleStateChanged(int state);
    void handleError(const QString& message, bool engineLost);
    void chooseVoice(const QLocale& locale);
    void finishUtterance();

    QTextToSpeech* speech_ = nullptr;
    QList<QLocale> locales_;
    bool available_ = true;
    bool errorLogged_ = false;
    bool began_ = false;
    std::function<void()> finished_;
    QTimer startTimer_;
};

} // namespace brisvane
