#pragma once

// A generated agent home for the benchmarks: 300 session files and about 1 GiB of transcripts
// from the last seven days, with no statistics cache (so the usage summary sums the transcripts).
// BRISVANE_BENCH_TRANSCRIPT_MIB sets the size (default 1024).

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace brisvane::bench {

constexpr int kSessions = 300;
constexpr int kProjects = 20;

inline int64_t transcriptBytesWanted()
{
    const char* text = std::getenv("BRISVANE_BENCH_TRANSCRIPT_MIB");
    return (text ? std::atoll(text) : 1024) * 1024 * 1024;
}

// One agent home, written once per run.
struct GeneratedAgentHome {
    QTemporaryDir dir;
    int64_t transcriptBytes = 0;
    QString claudeHome() const { return dir.path() + "/.claude"; }

    GeneratedAgentHome()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const int64_t wanted = transcriptBytesWanted();
        const int64_t perSession = wanted / kSessions;
        // A reply's text, so lines have the weight of real ones.
        const QByteArray filler(600, 'x');
        for (int session = 0; session < kSessions; ++session) {
            const QString project = QStringLiteral("%1/projects/-home-user-work-project%2").arg(claudeHome()).arg(session % kProjects);
            QDir().mkpath(project);
            const QString sessionId = QStringLiteral("00000000-0000-4000-8000-%1").arg(session, 12, 10, QChar('0'));
            QFile file(project + "/" + sessionId + ".jsonl");
            if (!file.open(QIODevice::WriteOnly)) std::abort();
            int64_t written = 0;
            for (int line = 0; written < perSession; ++line) {
                // Spread over the last six days, newest last.
                const QDateTime at = now.addSecs(-int64_t(6 * 86400) + int64_t(line) * 7 % (6 * 86400));
                QByteArray text = "{\"parentUuid\":null,\"isSidechain\":false,\"type\":\"assistant\",\"message\":{\"id\":\"msg_"
                    + QByteArray::number(session) + "_" + QByteArray::number(line / 2)
                    + "\",\"type\":\"message\",\"role\":\"assistant\",\"model\":\"claude-opus-4-8\",\"content\":[{\"type\":\"text\",\"text\":\""
                    + filler + "\"}],\"usage\":{\"input_tokens\":120,\"cache_creation_input_tokens\":30,\"cache_read_input_tokens\":4000,\"output_tokens\":15}},\"requestId\":\"req_"
                    + QByteArray::number(session) + "_" + QByteArray::number(line / 2) + "\",\"timestamp\":\""
                    + at.toString(Qt::ISODateWithMs).toUtf8() + "\",\"sessionId\":\"" + sessionId.toUtf8() + "\",\"cwd\":\"/home/user/work\"}\n";
                written += file.write(text);
            }
            transcriptBytes += written;
            QFile record(QStringLiteral("%1/sessions/%2.json").arg(claudeHome()).arg(100000 + session));
            QDir().mkpath(claudeHome() + "/sessions");
            if (!record.open(QIODevice::WriteOnly)) std::abort();
            record.write("{\"pid\":" + QByteArray::number(100000 + session) + ",\"sessionId\":\"" + sessionId.toUtf8()
                         + "\",\"cwd\":\"/home/user/work\",\"status\":\"idle\",\"kind\":\"interactive\"}");
        }
    }
};

// Made on first use, kept for the whole run.
inline GeneratedAgentHome& generatedAgentHome()
{
    static GeneratedAgentHome generated;
    return generated;
}

} // namespace brisvane::bench
