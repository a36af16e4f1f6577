#include "app/Services/voice/QtNetworkVoicevoxHTTPClient.hpp"

#include "app/Services/voice/VoicevoxHTTPExchange.hpp"

#include <QStringList>
#include <QTimer>

namespace brisvane {

QUrl QtNetworkVoicevoxHTTPClient::defaultBaseURL()
{
    return QUrl(QStringLiteral("http://127.0.0.1:50021"));
}

QtNetworkVoicevoxHTTPClient::QtNetworkVoicevoxHTTPClient(QUrl baseURL, double timeout)
    : baseURL_(std::move(baseURL))
    , timeout_(timeout)
{
    VoicevoxHTTPExchange::configure(manager_);
}

void QtNetworkVoicevoxHTTPClient::fetchAudioQuery(const QString& text, int64_t speakerId, Completion completion)
{
    perform(buildURL(baseURL_, QStringLiteral("audio_query"),
                     {{QStringLiteral("text"), text}, {QStringLiteral("speaker"), QString::number(speakerId)}}),
            std::nullopt, std::move(completion));
}

void QtNetworkVoicevoxHTTPClient::synthesize(const QByteArray& audioQuery, int64_t speakerId, Completion completion)
{
    perform(buildURL(baseURL_, QStringLiteral("synthesis"), {{QStringLiteral("speaker"), QString::number(speakerId)}}),
            audioQuery, std::move(completion));
}

Result<QUrl, VoicevoxHTTPError> QtNetworkVoicevoxHTTPClient::buildURL(
    const QUrl& baseURL, const QString& path, const QList<std::pair<QString, QString>>& queryItems)
{
    QStringList items;
    for (const auto& [name, value] : queryItems) {
        // A lone surrogate has no UTF-8 form; sending a replacement character would say
        // something else.
        if (!QStringView(value).isValidUtf16()) return VoicevoxHTTPError{VoicevoxHTTPError::Kind::encodingFailed};
        // Qt's default set of characters left alone is exactly the unreserved set.
        items << name + u'=' + QString::fromLatin1(value.toUtf8().toPercentEncoding());
    }
    const QString text =
        baseURL.toString(QUrl::FullyEncoded) + u'/' + path + u'?' + items.join(u'&');
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || !VoicevoxHTTPExchange::isLoopback(url)) {
        return VoicevoxHTTPError{VoicevoxHTTPError::Kind::invalidURL};
    }
    return url;
}

void QtNetworkVoicevoxHTTPClient::perform(const Result<QUrl, VoicevoxHTTPError>& url,
                                          const std::optional<QByteArray>& jsonBody, Completion completion)
{
    if (!url) {
        // Called back from the event loop like every other outcome.
        QTimer::singleShot(0, &manager_, [completion = std::move(completion), error = url.error()] {
            completion(VoicevoxRequestError(error));
        });
        return;
    }
    VoicevoxHTTPExchange::send(
        manager_, *url, QByteArrayLiteral("POST"), jsonBody, timeout_,
        [completion = std::move(completion)](Result<VoicevoxHTTPExchange::Reply, VoicevoxTransportError> reply) {
            if (!reply) {
                completion(VoicevoxRequestError(reply.error()));
                return;
            }
            const std::optional<int> status = reply->statusCode;
            if (!status || *status < 200 || *status > 299) {
                completion(VoicevoxRequestError(VoicevoxHTTPError::unexpectedStatus(status.value_or(-1))));
                return;
            }
            completion(std::move(reply).value().body);
        });
}

} // namespace brisvane
