// The usage summary's own aggregation of the transcripts (the path taken when the agent's
// statistics cache is missing), over a generated agent home: 300 sessions and about 1 GiB of
// transcripts from the last seven days. Reported as MiB/s, beside the same home read by the
// `ccusage` npm package (`daily --offline --json`, installed in bench/app/peer-ccusage), a peer
// used for comparison only, in the same run.
#include "GeneratedAgentHome.hpp"

#include "app/Services/LocalFileSystemReader.hpp"
#include "app/Services/UsageSummaryBuilder.hpp"

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
