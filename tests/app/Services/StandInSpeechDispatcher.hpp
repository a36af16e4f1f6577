#pragma once

// A stand-in speech-dispatcher for tests: a Unix socket speaking SSIP, the daemon's text protocol,
// on its own thread (the client library waits for replies on the caller's thread). It offers the
// voices it is given, records what it is asked to say, and reports each message as begun and
// ended, as the daemon does. Or, made `silent`, it takes connections and never answers.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace brisvane::test {

class StandInSpeechDispatcher {
public:
    struct Voice {
        std::string name;
        std::string language;
        std::string variant;
    };

    StandInSpeechDispatcher(const QString& socketPath, std::vector<Voice> voices, bool silent = false)
        : voices_(std::move(voices)), silent_(silent)
    {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = socketPath.toLocal8Bit();
        path_ = path.toStdString();
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        ::unlink(path.constData());
        listening_ = listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(listener_, 8) == 0;
        if (listening_) acceptor_ = std::thread([this] { acceptLoop(); });
    }

    ~StandInSpeechDispatcher()
    {
        stopping_ = true;
        ::unlink(path_.c_str());
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        if (acceptor_.joinable()) acceptor_.join();
        {
            std::lock_guard lock(mutex_);
            for (int client : clients_) ::shutdown(client, SHUT_RDWR);
        }
        for (std::thread& thread : sessions_) thread.join();
        std::lock_guard lock(mutex_);
        for (int client : clients_) ::close(client);
    }

    bool isListening() const { return listening_; }

    // The texts received with SPEAK, in order.
    QStringList spoken() const
    {
        std::lock_guard lock(mutex_);
        return spoken_;
    }
    // Every command line received, for a failure message.
    QStringList commands() const
    {
        std::lock_guard lock(mutex_);
        return commands_;
    }
    int connections() const { return connections_; }

private:
    void acceptLoop()
    {
        for (;;) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                if (stopping_) return;
                if (errno == EINTR) continue;
                return;
            }
            ++connections_;
            std::lock_guard lock(mutex_);
            clients_.push_back(client);
            sessions_.emplace_back([this, client] { serve(client); });
        }
    }

    static bool send(int client, const std::string& text)
    {
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t written = ::send(client, text.data() + done, text.size() - done, MSG_NOSIGNAL);
            if (written <= 0) return false;
            done += size_t(written);
        }
        return true;
    }

    void serve(int client)
    {
        std::string buffer;
        bool receivingText = false;
        std::string text;
        int nextMessage = 1;
        char chunk[4096];
        for (;;) {
            const ssize_t got = ::recv(client, chunk, sizeof chunk, 0);
            if (got <= 0) return;
            if (silent_) continue;
            buffer.append(chunk, size_t(got));
            for (size_t end; (end = buffer.find("\r\n")) != std::string::npos;) {
                const std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 2);
                if (receivingText) {
                    if (line == ".") {
                        receivingText = false;
                        const int id = nextMessage++;
                        {
                            std::lock_guard lock(mutex_);
                            spoken_.append(QString::fromUtf8(text));
                        }
                        const std::string number = std::to_string(id);
                        send(client, "225-" + number + "\r\n225 OK MESSAGE QUEUED\r\n");
                        // Said at once: begun, then ended.
                        send(client, "701-" + number + "\r\n701-1\r\n701 BEGIN\r\n");
                        send(client, "702-" + number + "\r\n702-1\r\n702 END\r\n");
                    } else {
                        // A line that starts with a dot is sent with a second one.
                        if (!text.empty()) text += "\n";
                        text += line.rfind("..", 0) == 0 ? line.substr(1) : line;
                    }
                    continue;
                }
                {
                    std::lock_guard lock(mutex_);
                    commands_.append(QString::fromStdString(line));
                }
                send(client, reply(line, receivingText, text));
            }
        }
    }

    std::string reply(const std::string& line, bool& receivingText, std::string& text) const
    {
        // Commands are case-insensitive (the client library sends "speak").
        std::string upper = line;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        const auto startsWith = [&](const char* prefix) { return upper.rfind(prefix, 0) == 0; };
        if (startsWith("SPEAK")) {
            receivingText = true;
            text.clear();
            return "230 OK RECEIVING DATA\r\n";
        }
        if (startsWith("LIST SYNTHESIS_VOICES")) {
            std::string list;
            for (const Voice& voice : voices_) list += "249-" + voice.name + "\t" + voice.language + "\t" + voice.variant + "\r\n";
            return list + "249 OK VOICE LIST SENT\r\n";
        }
        if (startsWith("LIST OUTPUT_MODULES")) return "250-standin\r\n250 OK MODULE LIST SENT\r\n";
        if (startsWith("LIST VOICES")) return "249-MALE1\r\n249 OK VOICE LIST SENT\r\n";
        if (startsWith("HISTORY GET CLIENT_ID")) return "245-1\r\n245 OK CLIENT ID SENT\r\n";
        if (startsWith("GET OUTPUT_MODULE")) return "251-standin\r\n251 OK GET RETURNED\r\n";
        if (startsWith("GET")) return "251-0\r\n251 OK GET RETURNED\r\n";
        if (startsWith("QUIT")) return "231 HAPPY HACKING\r\n";
        if (startsWith("SET SELF CLIENT_NAME")) return "208 OK CLIENT NAME SET\r\n";
        return "200 OK\r\n";
    }

    std::vector<Voice> voices_;
    const bool silent_;
    std::string path_;
    int listener_ = -1;
    bool listening_ = false;
    std::atomic<bool> stopping_ = false;
    std::atomic<int> connections_ = 0;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<int> clients_;
    std::vector<std::thread> sessions_;
    QStringList spoken_;
    QStringList commands_;
};

} // namespace brisvane::test
