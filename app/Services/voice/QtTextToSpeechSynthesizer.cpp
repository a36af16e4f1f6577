#include "app/Services/voice/QtTextToSpeechSynthesizer.hpp"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QTextToSpeech>
#include <QThread>

namespace brisvane {

namespace {

Q_LOGGING_CATEGORY(lcQtTextToSpeechSynthesizer, "brisvane.QtTextToSpeechSynthesizer")

// Where speech-dispatcher's client library looks for the daemon: SPEECHD_ADDRESS when it names a
// Unix socket, else "speech-dispatcher/speechd.sock" in the user's runtime folder (the cache
// folder without one). Empty for a daemon on the network, which is not asked first.
QString speechDispatcherSocketPath()
{
    const QString address = qEnvironmentVariable("SPEECHD_ADDRESS");
    if (!address.isEmpty()) {
        const QString prefix = QStringLiteral("unix_socket:");
        return address.startsWith(prefix) ? address.mid(prefix.size()) : QString();
    }
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) runtime = QDir::homePath() + QStringLiteral("/.cache");
    return runtime + QStringLiteral("/speech-dispatcher/speechd.sock");
}

} // namespace

QtTextToSpeechSynthesizer::QtTextToSpeechSynthesizer(const QString& engineName, QObject* parent)
    : QObject(parent), engineName_(engineName)
{
    startTimer_.setSingleShot(true);
    startTimer_.setInterval(kStartTimeoutMilliseconds);
    connect(&startTimer_, &QTimer::timeout, this, [this] {
        handleError(QStringLiteral("%1ミリ秒以内に読み上げが始まりませんでした").arg(kStartTimeoutMilliseconds), false);
    });
    daemonTimer_.setSingleShot(true);
    daemonTimer_.setInterval(kDaemonAnswerTimeoutMilliseconds);
    connect(&daemonTimer_, &QTimer::timeout, this, [this] { daemonAsked(false); });
}

QtTextToSpeechSynthesizer::~QtTextToSpeechSynthesizer()
{
    // The engine is a child and goes after this object's members: a state change it reports while
    // being torn down must not reach them.
    if (speech_) disconnect(speech_, nullptr, this, nullptr);
}

bool QtTextToSpeechSynthesizer::ensureEngine()
{
    if (speech_) return true;
    auto* speech = engineName_.isEmpty() ? new QTextToSpeech(this) : new QTextToSpeech(engineName_, this);
    // Only a failure to start counts here. The engine also reports an error when the process's
    // locale has no voice (LANG=C.UTF-8 in containers and minimal installs); every utterance picks
    // its own voice, so that one does not matter.
    if (speech->state() == QTextToSpeech::Error && speech->errorReason() == QTextToSpeech::ErrorReason::Initialization) {
        logFailureOnce(speech->errorString());
        delete speech;
        return false;
    }
    speech_ = speech;
    connect(speech_, &QTextToSpeech::stateChanged, this,
            [this](QTextToSpeech::State state) { handleStateChanged(state); });
    connect(speech_, &QTextToSpeech::errorOccurred, this,
            [this](QTextToSpeech::ErrorReason reason, const QString& message) {
                handleError(message, reason == QTextToSpeech::ErrorReason::Initialization);
            });
    return true;
}

void QtTextToSpeechSynthesizer::dropEngine()
{
    if (!speech_) return;
    disconnect(speech_, nullptr, this, nullptr);
    speech_->deleteLater();
    speech_ = nullptr;
}

void QtTextToSpeechSynthesizer::say(const QString& text, const QLocale& locale, std::function<void(bool)> finished)
{
    Q_ASSERT(QThread::currentThread() == thread());
    Q_ASSERT(!finished_);
    finished_ = std::move(finished);
    pending_ = {text, locale};
    // speech-dispatcher reports nothing at all for an empty text: nothing to say is said.
    if (text.trimmed().isEmpty()) {
        finishUtterance(true);
        return;
    }
    // A daemon socket that is there is asked first; a missing one is left to the client library,
    // which starts the daemon.
    if (!speech_ && usesSpeechDispatcher()) {
        const QString socketPath = speechDispatcherSocketPath();
        if (!socketPath.isEmpty() && QFileInfo::exists(socketPath)) {
            askDaemon(socketPath);
            return;
        }
    }
    speakPending();
}

void QtTextToSpeechSynthesizer::speakPending()
{
    // An engine that could not be reached is tried again: the daemon may have started since.
    if (!ensureEngine()) {
        finishUtterance(false);
        return;
    }
    chooseVoice(pending_.locale);
    began_ = false;
    startTimer_.start();
    // Only ever called with nothing in progress: QTextToSpeech would cut the current utterance.
    speech_->say(pending_.text);
}

bool QtTextToSpeechSynthesizer::usesSpeechDispatcher() const
{
    if (!engineName_.isEmpty()) return engineName_ == QStringLiteral("speechd");
    const QStringList engines = QTextToSpeech::availableEngines();
    return !engines.isEmpty() && engines.front() == QStringLiteral("speechd");
}

void QtTextToSpeechSynthesizer::askDaemon(const QString& socketPath)
{
    auto* question = new QLocalSocket(this);
    daemonQuestion_ = question;
    connect(question, &QLocalSocket::connected, question, [question] {
        question->write("SET SELF CLIENT_NAME \"brisvane:probe:main\"\r\n");
    });
    // Any complete reply line will do: the daemon answers.
    connect(question, &QLocalSocket::readyRead, this, [this, question] {
        if (question == daemonQuestion_ && question->canReadLine()) daemonAsked(true);
    });
    connect(question, &QLocalSocket::errorOccurred, this, [this, question] {
        if (question == daemonQuestion_) daemonAsked(false);
    });
    daemonTimer_.start();
    question->connectToServer(socketPath);
}

void QtTextToSpeechSynthesizer::daemonAsked(bool answered)
{
    daemonTimer_.stop();
    if (QLocalSocket* question = daemonQuestion_) {
        daemonQuestion_ = nullptr;
        if (answered) question->write("QUIT\r\n");
        question->disconnectFromServer();
        question->deleteLater();
    }
    if (!finished_) return;
    if (answered) {
        speakPending();
        return;
    }
    logFailureOnce(QStringLiteral("speech-dispatcherが%1ミリ秒以内に応答しません").arg(kDaemonAnswerTimeoutMilliseconds));
    finishUtterance(false);
}

void QtTextToSpeechSynthesizer::handleStateChanged(int state)
{
    if (!finished_) return;
    if (state == QTextToSpeech::Speaking) {
        began_ = true;
        startTimer_.stop();
    } else if (state == QTextToSpeech::Ready && began_) {
        finishUtterance(true);
    }
}

void QtTextToSpeechSynthesizer::handleError(const QString& message, bool engineLost)
{
    // A voice that a locale lacks is no failure of an utterance: another voice is chosen.
    if (choosingVoice_) return;
    logFailureOnce(message);
    // The connection is gone: made anew at the next utterance.
    if (engineLost) dropEngine();
    if (finished_) finishUtterance(false);
}

void QtTextToSpeechSynthesizer::chooseVoice(const QLocale& locale)
{
    // A voice of the same language and region, else of the same language, else any voice at all:
    // an English voice reading Japanese is better than silence.
    const QList<QLocale> locales = speech_->availableLocales();
    const QLocale* match = nullptr;
    int matchRank = 0;
    for (const QLocale& candidate : locales) {
        const int rank = candidate.language() != locale.language() ? 1
                         : candidate.territory() != locale.territory() ? 2
                                                                        : 3;
        if (rank > matchRank) {
            match = &candidate;
            matchRank = rank;
        }
    }
    if (!match) return;
    choosingVoice_ = true;
    if (speech_->locale() != *match || speech_->state() == QTextToSpeech::Error) speech_->setLocale(*match);
    choosingVoice_ = false;
}

void QtTextToSpeechSynthesizer::finishUtterance(bool spoken)
{
    startTimer_.stop();
    began_ = false;
    // From the event loop, as promised; dropped with this object.
    if (std::function<void(bool)> finished = std::exchange(finished_, {}))
        QTimer::singleShot(0, this, [finished = std::move(finished), spoken] { finished(spoken); });
}

void QtTextToSpeechSynthesizer::logFailureOnce(const QString& message)
{
    if (errorLogged_) return;
    errorLogged_ = true;
    qCWarning(lcQtTextToSpeechSynthesizer).noquote() << "システム音声で読み上げられません。以後の失敗は記録しません:" << message;
}

} // namespace brisvane
