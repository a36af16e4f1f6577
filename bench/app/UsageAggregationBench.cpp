// The usage summary's own aggregation of the transcripts (the path taken when the agent's
// statistics cache is missing), over a generated agent home: 300 sessions and about 1 GiB of
// transcripts from the last seven days. Reported as MiB/s, beside the same home read by the
// `ccusage` npm package (`daily --offline --json`, installed in bench/app/peer-ccusage), a peer
// used for comparison only, in the same run. Then the refresh as the dashboard runs it, reading
// on from what earlier passes read: with nothing changed, and with one reply appended.
#include "GeneratedAgentHome.hpp"

#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/usage/UsageSummaryBuilder.hpp"

#include <benchmark/benchmark.h>

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

void BM_UsageSelfAggregation(benchmark::State& state)
{
    bench::GeneratedAgentHome& generated = bench::generatedAgentHome();
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

UsageSummaryBuildParameters refreshParameters(bench::GeneratedAgentHome& generated,
                                              std::shared_ptr<UsageSelfAggregator::TranscriptStore> store)
{
    return {generated.claudeHome() + "/stats-cache.json", generated.claudeHome() + "/projects",
            std::make_shared<LocalFileSystemReader>(), QDateTime::currentDateTimeUtc(), Calendar::current(),
            std::move(store), {}};
}

// A store that has read the whole home, as after the first passes of the dashboard.
std::shared_ptr<UsageSelfAggregator::TranscriptStore> readStore(bench::GeneratedAgentHome& generated)
{
    auto store = std::make_shared<UsageSelfAggregator::TranscriptStore>();
    do {
        benchmark::DoNotOptimize(UsageSummaryBuilder::build(refreshParameters(generated, store)));
    } while (store->hasUnreadBytes());
    return store;
}

void BM_UsageRefreshUnchanged(benchmark::State& state)
{
    bench::GeneratedAgentHome& generated = bench::generatedAgentHome();
    const auto store = readStore(generated);
    for (auto _ : state) {
        const UsageSummary summary = UsageSummaryBuilder::build(refreshParameters(generated, store));
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_UsageRefreshUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

// One reply of the generated shape appended to one transcript before each refresh (not timed).
void BM_UsageRefreshOneAppendedReply(benchmark::State& state)
{
    bench::GeneratedAgentHome& generated = bench::generatedAgentHome();
    const auto store = readStore(generated);
    const QString path = generated.claudeHome()
        + "/projects/-home-user-work-project0/00000000-0000-4000-8000-000000000000.jsonl";
    int reply = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile file(path);
        if (!file.open(QIODevice::Append)) std::abort();
        ++reply;
        file.write("{\"type\":\"assistant\",\"message\":{\"id\":\"msg_appended_" + QByteArray::number(reply)
                   + "\",\"model\":\"claude-opus-4-8\",\"content\":[{\"type\":\"text\",\"text\":\""
                   + QByteArray(600, 'x')
                   + "\"}],\"usage\":{\"input_tokens\":120,\"cache_creation_input_tokens\":30,"
                     "\"cache_read_input_tokens\":4000,\"output_tokens\":15}},\"requestId\":\"req_appended_"
                   + QByteArray::number(reply) + "\",\"timestamp\":\""
                   + QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8() + "\"}\n");
        file.close();
        state.ResumeTiming();
        const UsageSummary summary = UsageSummaryBuilder::build(refreshParameters(generated, store));
        benchmark::DoNotOptimize(summary);
    }
}
BENCHMARK(BM_UsageRefreshOneAppendedReply)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer on the same home: best of three runs of its command.
void BM_CcusagePeer(benchmark::State& state)
{
    const QString peer = QStringLiteral(BRISVANE_BENCH_DIR "/app/peer-ccusage/node_modules/.bin/ccusage");
    if (!QFile::exists(peer)) {
        state.SkipWithError("ccusage is not installed (make bench installs it)");
        return;
    }
    bench::GeneratedAgentHome& generated = bench::generatedAgentHome();
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
