#include "app/Services/voice/VoicevoxHTTPExchange.hpp"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace brisvane::VoicevoxHTTPExchange {

namespace {

int milliseconds(double seconds)
{
    // A day at most keeps the milliseconds in an int; NaN and negatives end at once.
    return std::isnan(seconds) ? 0 : static_cast<int>(std::clamp(seconds, 0.0, 86400.0) * 1000.0);
}

// Errors Qt raises for an HTTP status it received, as opposed to a failed exchange.
bool reportsHttpStatus(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

} // namespace

bool isLoopback(const QUrl& url)
{
    return url.isValid() && url.scheme() == QLatin1String("http") && url.host() == QLatin1String("127.0.0.1");
}

void configure(QNetworkAccessManager& manager)
{
    manager.setProxy(QNetworkProxy::NoProxy);
}

void send(QNetworkAccessManager& manager, const QUrl& url, const QByteArray& method,
          const std::optional<QByteArray>& jsonBody, double deadline, Completion completion)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    QNetworkReply* reply = nullptr;
    if (jsonBody) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        reply = manager.sendCustomRequest(request, method, *jsonBody);
    } else {
        reply = manager.sendCustomRequest(request, method);
    }

    auto timedOut = std::make_shared<bool>(false);
    auto* deadlineTimer = new QTimer(reply);
    deadlineTimer->setSingleShot(true);
    QObject::connect(deadlineTimer, &QTimer::timeout, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    deadlineTimer->start(milliseconds(deadline));

    QObject::connect(reply, &QNetworkReply::finished, &manager,
                     [reply, timedOut, deadline, completion = std::move(completion)] {
                         reply->deleteLater();
                         if (*timedOut) {
                             completion(VoicevoxTransportError{
                                 VoicevoxTransportError::Kind::timedOut,
                                 QStringLiteral("No answer within %1 s").arg(deadline)});
                             return;
                         }
                         const QNetworkReply::NetworkError error = reply->error();
                         if (error != QNetworkReply::NoError && !reportsHttpStatus(error)) {
                             completion(VoicevoxTransportError{VoicevoxTransportError::Kind::failed,
                                                               reply->errorString()});
                             return;
                         }
                         const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                         Reply answer;
                         if (status.isValid()) answer.statusCode = status.toInt();
                         answer.body = reply->readAll();
                         completion(std::move(answer));
                     });
}

} // namespace brisvane::VoicevoxHTTPExchange
