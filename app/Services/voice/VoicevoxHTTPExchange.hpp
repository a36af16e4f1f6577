#pragma once

#include "app/Models/Result.hpp"
#include "app/Models/VoicevoxHTTPError.hpp"

#include <QByteArray>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;

// One HTTP exchange with the local VOICEVOX engine, shared by its client and its probe. The
// engine on 127.0.0.1 is the application's only network peer: requests go straight to it (no
// proxy, whatever the application or the environment configures: texts hold project names),
// redirects are not followed, and no cookie or cache is kept.
namespace brisvane::VoicevoxHTTPExchange {

struct Reply {
    // Absent when the answer was not HTTP.
    std::optional<int> statusCode;
    QByteArray body;
};

using Completion = std::function<void(Result<Reply, VoicevoxTransportError>)>;

// Plain HTTP to 127.0.0.1.
bool isLoopback(const QUrl& url);

// A manager set up for the engine: no proxy.
void configure(QNetworkAccessManager& manager);

// Sends `method` to `url` with the body, when there is one, as JSON; a request with no body
// carries no header of its own. The exchange ends at the deadline (seconds), however the engine
// trickles its answer. `completion` is called once from the event loop, unless the manager is
// destroyed first.
void send(QNetworkAccessManager& manager, const QUrl& url, const QByteArray& method,
          const std::optional<QByteArray>& jsonBody, double deadline, Completion completion);

} // namespace brisvane::VoicevoxHTTPExchange
