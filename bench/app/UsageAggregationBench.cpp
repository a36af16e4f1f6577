// The usage summary's own aggregation of the transcripts (the path taken when the agent's
// statistics cache is missing), over a generated agent home: 300 sessions and about 1 GiB of
// transcripts from the last seven days. Reported as MiB/s, beside the same home read by the
// `ccusage` npm package (`daily --offline --json`, installed in bench/app/peer-ccusage), a peer
// used for comparison only, in the same run.
//
// BRISVANE_BENCH_TRANSCRIPT_MIB sets the size (default 1024).
#include "app/Services/LocalFileSystemReader.hpp"
#include "app/Services/UsageSummaryBuilder.hpp"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

using namespace brisvane;

namespace {

constexpr int kSessions = 300;
constexpr int kProjects = 20;

int64_t transcriptBytesWanted()
{
    const char* text = std::getenv("BRISVANE_BENCH_TRANSCRIPT_MIB");
    return (text ? std::atoll(text) : 1024) * 1024 * 1024;
}

// One agent home, written once per run.
struct GeneratedHome {
    QTemporaryDir dir;
    int64_t transcriptBytes = 0;
    QString claudeHome() const { return dir.path() + "/.claude"; }

    GeneratedHome()
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

GeneratedHome& home()
{
    static GeneratedHome generated;
    return generated;
}

double mebibytesPerSecond(int64_t bytes, double seconds)
{
    return double(bytes) / (1024.0 * 1024.0) / seconds;
}

void BM_UsageSelfAggregation(benchmark::State& state)
{
    GeneratedHome& generated = home();
    const auto reader = std::make_shared<LocalFileSystemReader>();
    for (auto _ : state) {
        const UsageSummary summary = UsageSummaryBuilder::build({generated.claudeHome() + "/stats-cache.json",
                                                                 generated.claudeHome() + "/projects", reader,
                                                                 QDateTime::currentDateTimeUtc(), Calendar::current()});
        benchmark::DoNotOptimize(summary);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * generated.transcriptBytes);
}
BENCHMARK(BM_UsageSelfAggregation)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The peer on the same home: best of three runs of its command.
void BM_CcusagePeer(benchmark::State& state)
{
    const QString peer = QStringLiteral(BRISVANE_BENCH_DIR "/app/peer-ccusage/node_modules/.bin/ccusage");
    if (!QFile::exists(peer)) {
        state.SkipWithError("ccusage is not installed (make bench installs it)");
        return;
    }
    GeneratedHome& generated = home();
    for (auto _ : state) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", generated.dir.path());
        environment.insert("CLAUDE_CONFIG_DIR", generated.claudeHome());
        process.setProcessEnvironment(environment);
        process.start(peer, {"daily", "--offline", "--json"});
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            state.SkipWithError(qPrintable("ccusage failed: " + QString::fromUtf8(process.readAllStandardError())));
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * generated.transcriptBytes);
}
BENCHMARK(BM_CcusagePeer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
