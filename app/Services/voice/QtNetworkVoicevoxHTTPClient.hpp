#pragma once

#include "app/Models/Result.hpp"
#include "app/Models/VoicevoxHTTPError.hpp"
#include "app/Services/voice/VoicevoxHTTPRequesting.hpp"

#include <QList>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include <optional>
#include <utility>

namespace brisvane {

// `VoicevoxHTTPRequesting` through Qt Network, to the engine on 127.0.0.1. Keeps nothing between
// requests. Answers with a status from 200 to 299 succeed with their body unchanged; any other
// status fails with `unexpectedStatusCode`, a broken or late exchange with a transport error.
// Pending completions are dropped when the client is destroyed.
class QtNetworkVoicevoxHTTPClient final : public VoicevoxHTTPRequesting {
public:
    static constexpr double kDefaultTimeout = 15.0;

    // http://127.0.0.1:50021, the engine's own address.
    static QUrl defaultBaseURL();

    // `timeout` bounds each whole exchange, in seconds. A base URL other than plain HTTP to
    // 127.0.0.1 makes every request fail with `invalidURL`.
    explicit QtNetworkVoicevoxHTTPClient(QUrl baseURL = defaultBaseURL(), double timeout = kDefaultTimeout);

    // POST <base>/audio_query?text=<text>&speaker=<id>, no body.
    void fetchAudioQuery(const QString& text, int64_t speakerId, Completion completion) override;
    // POST <base>/synthesis?speaker=<id>, the query as a JSON body, byte for byte.
    void synthesize(const QByteArray& audioQuery, int64_t speakerId, Completion completion) override;

    // <base>/<path>?name=value&..., the values percent-encoded as UTF-8 except for the unreserved
    // characters A-Z a-z 0-9 - . _ ~ (upper-case hexadecimal), the names as they are.
    static Result<QUrl, VoicevoxHTTPError> buildURL(const QUrl& baseURL, const QString& path,
                                                   const QList<std::pair<QString, QString>>& queryItems);

private:
    void perform(const Result<QUrl, VoicevoxHTTPError>& url, const std::optional<QByteArray>& jsonBody,
                 Completion completion);

    QUrl baseURL_;
    double timeout_;
    QNetworkAccessManager manager_;
};

} // namespace brisvane
