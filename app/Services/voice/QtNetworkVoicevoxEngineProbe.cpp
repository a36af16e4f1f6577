#include "app/Services/voice/QtNetworkVoicevoxEngineProbe.hpp"

#include "app/Services/voice/QtNetworkVoicevoxHTTPClient.hpp"
#include "app/Services/voice/VoicevoxHTTPExchange.hpp"

#include <QTimer>

namespace brisvane {

QtNetworkVoicevoxEngineProbe::QtNetworkVoicevoxEngineProbe(QUrl baseURL, double timeout)
    : versionURL_(baseURL.toString(QUrl::FullyEncoded) + QStringLiteral("/version"), QUrl::StrictMode)
    , timeout_(timeout)
{
    VoicevoxHTTPExchange::configure(manager_);
}

QtNetworkVoicevoxEngineProbe::QtNetworkVoicevoxEngineProbe()
    : QtNetworkVoicevoxEngineProbe(QtNetworkVoicevoxHTTPClient::defaultBaseURL())
{
}

void QtNetworkVoicevoxEngineProbe::isEngineAvailable(std::function<void(bool)> answer)
{
    if (!VoicevoxHTTPExchange::isLoopback(versionURL_)) {
        QTimer::singleShot(0, &manager_, [answer = std::move(answer)] { answer(false); });
        return;
    }
    VoicevoxHTTPExchange::send(
        manager_, versionURL_, QByteArrayLiteral("GET"), std::nullopt, timeout_,
        [answer = std::move(answer)](Result<VoicevoxHTTPExchange::Reply, VoicevoxTransportError> reply) {
            answer(reply && reply->statusCode && *reply->statusCode >= 200 && *reply->statusCode <= 299);
        });
}

} // namespace brisvane
