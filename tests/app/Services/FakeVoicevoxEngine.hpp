#pragma once

// A stand-in for the VOICEVOX engine: an HTTP/1.1 server on 127.0.0.1 in the test process, on a
// free port. It records every request and answers each from a scripted handler: any status,
// headers and body, or not yet (the test releases held answers in the order it wants, or never).

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <functional>
#include <utility>

namespace brisvane::test {

struct FakeHTTPRequest {
    QByteArray method;
    // The request target as sent: path and query, still percent-encoded.
    QByteArray target;
    // Names in lower case.
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;

    QByteArray path() const { return target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?')); }
    // The decoded value of a query item.
    QString queryValue(const QByteArray& name) const
    {
        const qsizetype mark = target.indexOf('?');
        if (mark < 0) return {};
        for (const QByteArray& item : target.mid(mark + 1).split('&')) {
            if (item.startsWith(name + '=')) {
                return QString::fromUtf8(QByteArray::fromPercentEncoding(item.mid(name.size() + 1)));
            }
        }
        return {};
    }
};

struct FakeHTTPReply {
    int status = 200;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Kept until `releaseHeld`; never sent if not released.
    bool held = false;
};

class FakeVoicevoxEngine : public QObject {
public:
    using Handler = std::function<FakeHTTPReply(const FakeHTTPRequest&)>;

    // By default: an audio query is {"text":"<text>"}, a synthesis answers "WAV of " and the query,
    // and the version is "0.14.0".
    FakeVoicevoxEngine()
    {
        handler_ = [](const FakeHTTPRequest& request) -> FakeHTTPReply {
            if (request.path() == "/audio_query") {
                return {200, "{\"text\":\"" + request.queryValue("text").toUtf8() + "\"}", {}, false};
            }
            if (request.path() == "/synthesis") return {200, "WAV of " + request.body, {}, false};
            if (request.path() == "/version") return {200, "\"0.14.0\"", {}, false};
            return {404, "not found", {}, false};
        };
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connections_++;
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    buffers_.remove(socket);
                    socket->deleteLater();
                });
            }
        });
    }

    bool isListening() const { return server_.isListening(); }
    QUrl baseURL() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort())); }
    void setHandler(Handler handler) { handler_ = std::move(handler); }

    const QList<FakeHTTPRequest>& requests() const { return requests_; }
    // Connections accepted, whether or not a request came on them.
    int connections() const { return connections_; }
    QList<QByteArray> paths() const
    {
        QList<QByteArray> paths;
        for (const FakeHTTPRequest& request : requests_) paths << request.path();
        return paths;
    }

    // The held answers, oldest first.
    const QList<FakeHTTPRequest>& heldRequests() const { return heldRequests_; }
    // Sends the held answer to the request that `matches` picks.
    void releaseHeld(const std::function<bool(const FakeHTTPRequest&)>& matches)
    {
        for (qsizetype i = 0; i < heldRequests_.size(); ++i) {
            if (!matches(heldRequests_[i])) continue;
            const auto [socket, reply] = held_.takeAt(i);
            heldRequests_.removeAt(i);
            if (socket) respond(socket, reply);
            return;
        }
    }

    // A port on 127.0.0.1 where nothing listens.
    static quint16 closedPort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }

private:
    void read(QTcpSocket* socket)
    {
        QByteArray& pending = buffers_[socket];
        pending += socket->readAll();
        const qsizetype headerEnd = pending.indexOf("\r\n\r\n");
        if (headerEnd < 0) return;
        FakeHTTPRequest request;
        const QList<QByteArray> lines = pending.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon <= 0) continue;
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (pending.size() < headerEnd + 4 + length) return;
        request.body = pending.mid(headerEnd + 4, length);
        buffers_.remove(socket);
        requests_ << request;
        const FakeHTTPReply reply = handler_(request);
        if (reply.held) {
            held_.append({QPointer<QTcpSocket>(socket), reply});
            heldRequests_ << request;
        } else {
            respond(socket, reply);
        }
    }

    static void respond(QTcpSocket* socket, const FakeHTTPReply& reply)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\nConnection: close\r\n";
        if (reply.status != 204) head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
        socket->write(head + "\r\n" + reply.body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    Handler handler_;
    QList<FakeHTTPRequest> requests_;
    int connections_ = 0;
    QMap<QTcpSocket*, QByteArray> buffers_;
    QList<std::pair<QPointer<QTcpSocket>, FakeHTTPReply>> held_;
    QList<FakeHTTPRequest> heldRequests_;
};

} // namespace brisvane::test
