#include "app/Services/QtTextToSpeechSynthesizer.hpp"

#include <QLoggingCategory>
#include <QTextToSpeech>
#include <QThread>

namespace brisvane {

namespace {

Q_LOGGING_CATEGORY(lcQtTextToSpeechSynthesizer, "brisvane.QtTextToSpeechSynthesizer")

} // namespace

QtTextToSpeechSynthesizer::QtTextToSpeechSynthesizer(const QString& engineName, QObject* parent)
    : QObject(parent)
{
    speech_ = engineName.isEmpty() ? new QTextToSpeech(this) : new QTextToSpeech(engineName, this);
    connect(speech_, &QTextToSpeech::stateChanged, this,
            [this](QTextToSpeech::State state) { handleStateChanged(state); });
    connect(speech_, &QTextToSpeech::errorOccurred, this,
            [this](QTextToSpeech::ErrorReason reason, const QString& message) {
                handleError(message, reason == QTextToSpeech::ErrorReason::Initialization);
            });
    if (speech_->state() == QTextToSpeech::Error) {
        handleError(speech_->errorString(), true);
    } else {
        locales_ = speech_->availableLocales();
    }
    startTimer_.setSingleShot(true);
    startTimer_.setInterval(kStartTimeoutMilliseconds);
    connect(&startTimer_, &QTimer::timeout, this, [this] {
        handleError(QStringLiteral("%1ミリ秒以内に読み上げが始まりませんでした").arg(kStartTimeoutMilliseconds), false);
    });
}

QtTextToSpeechSynthesizer::~QtTextToSpeechSynthesizer()
{
    // The engine is a child and goes after this object's members: a state change it reports while
    // being torn down must not reach them.
    disconnect(speech_, nullptr, this, nullptr);
}

void QtTextToSpeechSynthesizer::say(const QString& text, const QLocale& locale, std::function<void()> finished)
{
    Q_ASSERT(QThread::currentThread() == thread());
    Q_ASSERT(!finished_);
    finished_ = std::move(finished);
    // speech-dispatcher reports nothing at all for an empty text.
    if (!available_ || text.trimmed().isEmpty()) {
        finishUtterance();
        return;
    }
    chooseVoice(locale);
    began_ = false;
    startTimer_.start();
    // Only ever called with nothing in progress: QTextToSpeech would cut the current utterance.
    speech_->say(text);
}

void QtTextToSpeechSynthesizer::handleStateChanged(int state)
{
    if (!finished_) return;
    if (state == QTextToSpeech::Speaking) {
        began_ = true;
        startTimer_.stop();
    } else if (state == QTextToSpeech::Ready && began_) {
        finishUtterance();
    }
}

void QtTextToSpeechSynthesizer::handleError(const QString& message, bool engineLost)
{
    if (engineLost) available_ = false;
    if (!errorLogged_) {
        errorLogged_ = true;
        qCWarning(lcQtTextToSpeechSynthesizer).noquote()
            << "システム音声で読み上げられません。以後の失敗は記録しません:" << message;
    }
    if (finished_) finishUtterance();
}

void QtTextToSpeechSynthesizer::chooseVoice(const QLocale& locale)
{
    // An exact match first, then any voice of the language; none leaves the engine's choice.
    const QLocale* match = nullptr;
    for (const QLocale& candidate : locales_) {
        if (candidate.language() != locale.language()) continue;
        if (candidate.territory() == locale.territory()) {
            match = &candidate;
            break;
        }
        if (!match) match = &candidate;
    }
    if (match && speech_->locale() != *match) speech_->setLocale(*match);
}

void QtTextToSpeechSynthesizer::finishUtterance()
{
    startTimer_.stop();
    began_ = false;
    // From the event loop, as promised; dropped with this object.
    if (std::function<void()> finished = std::exchange(finished_, {})) QTimer::singleShot(0, this, std::move(finished));
}

} // namespace brisvane
