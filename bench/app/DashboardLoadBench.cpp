// The dashboard under load, as a user would load it: nine busy tiles, nine idle ones, nine with
// full scroll-back, a refresh over a large agent home and a storm of session-file changes. Each
// reports what it measured as counters (lateness of a 16 ms GUI timer, throughput, CPU, memory,
// whether the final state is right); none of them asserts a time.
//
// The tiles' shells are the user's real login shell, in a temporary home whose profile `exec`s
// the benchmark's program, so the bytes a tile receives are exactly the program's.
#include "BenchTerminal.hpp"
#include "GeneratedAgentHome.hpp"

#include "app/App/CompositionRoot.hpp"
#include "app/Services/platform/InMemoryPreferences.hpp"
#include "app/Services/platform/LocalFileSystemReader.hpp"
#include "app/Services/sessions/SessionWatcher.hpp"
#include "app/ViewModels/DashboardViewModel.hpp"
#include "app/ViewModels/TerminalProcessController.hpp"
#include "app/Views/BrisvaneTerminalView.hpp"
#include "terminal/view/gpu/GpuTerminalRenderer.hpp"

#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <random>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace brisvane;

namespace {

constexpr int kTiles = 9;
constexpr int kPatienceMs = 600'000;

class NoWatcher final : public SessionChangeWatching {
public:
    void start() override {}
    void stop() override {}
    void pollNow() override {}
};

// Runs the event loop as the application does until `done` holds or the time is up. (QTest's
// waits sleep 10 ms after every pass of the loop: the GUI thread would idle between passes,
// which halves a flood's throughput and doubles the timer's lateness.)
template <typename Done>
bool runEventLoopUntil(Done done, int timeoutMs)
{
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// How late a 16 ms timer fires on the GUI thread while the work runs.
class LatenessProbe {
public:
    LatenessProbe()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const double now = double(clock_.nsecsElapsed()) / 1e6;
            lateness_.push_back(std::max(0.0, now - last_ - 16.0));
            last_ = now;
        });
        clock_.start();
        timer_.start(16);
    }
    double percentile99() const
    {
        if (lateness_.empty()) return 0;
        std::vector<double> sorted = lateness_;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, size_t(double(sorted.size()) * 0.99))];
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = 0;
    std::vector<double> lateness_;
};

// A temporary home whose login profiles run $BRISVANE_BENCH_PROGRAM instead of a prompt when set.
class BenchHome {
public:
    BenchHome()
    {
        const QByteArray profile = "if [ -n \"$BRISVANE_BENCH_PROGRAM\" ]; then exec sh -c \"$BRISVANE_BENCH_PROGRAM\"; fi\n"
                                   "PS1='$ '\n";
        for (const char* name : {"/.profile", "/.bash_profile", "/.zprofile"}) write(dir_.path() + name, profile);
        QDir().mkpath(claudeHome() + "/sessions");
        setenv("HOME", QFile::encodeName(dir_.path()).constData(), 1);
        setenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path() + "/.config").constData(), 1);
        setenv("XDG_DATA_HOME", QFile::encodeName(dir_.path() + "/.local/share").constData(), 1);
    }
    QString path() const { return dir_.path(); }
    QString claudeHome() const { return dir_.path() + "/.claude"; }
    static void write(const QString& path, const QByteArray& data)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) std::abort();
    }

private:
    QTemporaryDir dir_;
};

std::unique_ptr<DashboardViewModel> makeModel(const QString& claudeHome,
                                              std::unique_ptr<SessionChangeWatching> watcher = nullptr)
{
    DashboardViewModel::Parameters p = agentHomeParameters(claudeHome);
    p.watcher = watcher ? std::move(watcher) : std::make_unique<NoWatcher>();
    p.userDefaults = std::make_shared<InMemoryPreferences>();
    p.appNotificationCenter = std::make_shared<AppNotificationCenter>([] { return QDateTime::currentDateTimeUtc(); });
    p.focusedTileId = [] { return std::optional<QUuid>(); };
    return std::make_unique<DashboardViewModel>(std::move(p));
}

// Nine tiles at their own size (640 x 400) in a 3 x 3 window: no resize reflows them mid-stream.
// With `gpu` every terminal draws through GL.
class TileWindow {
public:
    explicit TileWindow(DashboardViewModel& model, bool gpu = false) : model_(model), gpu_(gpu)
    {
        window_.resize(3 * 640, 3 * 400);
        window_.show();
    }
    void open(int count)
    {
        for (int i = 0; i < count; ++i) {
            const QUuid id = model_.createTerminalTile();
            ids_.push_back(id);
            // The widget a tile makes for its session, in the model's font.
            auto view = std::make_unique<BrisvaneTerminalView>(
                model_.terminalControllers().at(id)->sharedSession(), QRect(0, 0, 640, 400),
                BrisvaneTerminalView::terminalFont(model_.terminalFontSize()), &window_);
            view->move((int(ids_.size() - 1) % 3) * 640, (int(ids_.size() - 1) / 3 % 3) * 400);
            view->show();
            if (gpu_ && !gpuError_) gpuError_ = view->setUseGpu(true);
            views_.push_back(std::move(view));
        }
    }
    // Why the terminals could not draw through GL, when they were asked to.
    const std::optional<corvix::GpuError>& gpuError() const { return gpuError_; }
    void closeAll()
    {
        views_.clear();
        for (const QUuid& id : ids_) {
            if (model_.terminalControllers().count(id)) model_.closeTerminalTile(id);
        }
        ids_.clear();
        QTest::qWait(50);
    }
    std::vector<TerminalProcessController*> controllers() const
    {
        std::vector<TerminalProcessController*> found;
        for (const QUuid& id : ids_)
            if (model_.terminalControllers().count(id)) found.push_back(model_.terminalControllers().at(id).get());
        return found;
    }

    // The widget showing a controller's session.
    static BrisvaneTerminalView& view(TerminalProcessController& controller)
    {
        return *dynamic_cast<BrisvaneTerminalView*>(controller.session().view());
    }

private:
    DashboardViewModel& model_;
    bool gpu_;
    std::optional<corvix::GpuError> gpuError_;
    QWidget window_;
    std::vector<QUuid> ids_;
    std::vector<std::unique_ptr<BrisvaneTerminalView>> views_;
};

std::string screenText(corvix::Terminal& terminal)
{
    std::string text;
    for (int row = 0; row < terminal.rows; ++row) {
        if (corvix::BufferLine* line = terminal.getLine(row)) text += line->translateToString(true);
        text += '\n';
    }
    return text;
}

double residentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Whether the benchmark's tiles draw through GL (argument 1) or on the CPU (0). The GL runs need a
// display that can host a GL widget; elsewhere they say so and measure nothing.
bool drawsThroughGl(const benchmark::State& state) { return state.range(0) == 1; }

bool skippedWithoutGl(benchmark::State& state, const TileWindow& window)
{
    if (!window.gpuError()) return false;
    state.SkipWithError(("no GL drawing here (" + corvix::describe(*window.gpuError()) +
                         "); run under xvfb-run with QT_QPA_PLATFORM=xcb")
                            .c_str());
    return true;
}

// Nine tiles each running a program that writes 32 MiB of agent output as fast as it can: the
// throughput, the process's CPU and its resident memory at the end.
void BM_NineBusyTiles(benchmark::State& state)
{
    BenchHome home;
    const std::string payload = corvix::bench::agentScreen();
    const QString payloadPath = home.path() + "/payload";
    BenchHome::write(payloadPath, QByteArray::fromStdString(payload));
    for (auto _ : state) {
        auto model = makeModel(home.claudeHome());
        TileWindow window(*model, drawsThroughGl(state));
        setenv("BRISVANE_BENCH_PROGRAM", QFile::encodeName("cat '" + payloadPath + "'").constData(), 1);
        QElapsedTimer elapsed;
        elapsed.start();
        const double cpuBefore = cpuSeconds();
        LatenessProbe probe;
        window.open(kTiles);
        unsetenv("BRISVANE_BENCH_PROGRAM");
        if (skippedWithoutGl(state, window)) {
            window.closeAll();
            break;
        }
        const auto controllers = window.controllers();
        (void)runEventLoopUntil([&] {
            return std::all_of(controllers.begin(), controllers.end(), [](auto* c) { return c->hasShellExited(); });
        }, kPatienceMs);
        const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
        const double cpuPercent = (cpuSeconds() - cpuBefore) / seconds * 100.0;
        const double resident = residentMiB();

        int equalScreens = 0;
        for (TerminalProcessController* controller : controllers) {
            corvix::Terminal& shown = controller->session().terminal();
            corvix::bench::NullDelegate delegate;
            corvix::TerminalOptions options;
            options.cols = shown.cols;
            options.rows = shown.rows;
            corvix::Terminal headless(&delegate, options);
            headless.feed(std::span(reinterpret_cast<const uint8_t*>(payload.data()), payload.size()));
            equalScreens += screenText(shown) == screenText(headless) ? 1 : 0;
        }

        corvix::bench::NullDelegate delegate;
        corvix::TerminalOptions options;
        options.cols = controllers.front()->session().terminal().cols;
        options.rows = controllers.front()->session().terminal().rows;
        corvix::Terminal headless(&delegate, options);
        QElapsedTimer alone;
        alone.start();
        corvix::bench::feedInChunks(headless, std::span(reinterpret_cast<const uint8_t*>(payload.data()), payload.size()));
        const double headlessMiBps = double(payload.size()) / (1 << 20) / (double(alone.nsecsElapsed()) / 1e9);
        const double tilesMiBps = double(payload.size()) * kTiles / (1 << 20) / seconds;

        state.counters["p99_lateness_ms"] = probe.percentile99();
        state.counters["tiles_MiBps"] = tilesMiBps;
        state.counters["headless_MiBps"] = headlessMiBps;
        state.counters["x_headless"] = tilesMiBps / headlessMiBps;
        state.counters["equal_screens"] = equalScreens;
        state.counters["cpu_percent_of_a_core"] = cpuPercent;
        state.counters["resident_MiB"] = resident;
        window.closeAll();
    }
}
BENCHMARK(BM_NineBusyTiles)->ArgName("gl")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Nine shells at a prompt: the process's own CPU over 30 s and its resident memory.
void BM_NineIdleTiles(benchmark::State& state)
{
    BenchHome home;
    for (auto _ : state) {
        auto model = makeModel(home.claudeHome());
        TileWindow window(*model, drawsThroughGl(state));
        window.open(kTiles);
        if (skippedWithoutGl(state, window)) {
            window.closeAll();
            break;
        }
        runEventLoop(2000);
        const double before = cpuSeconds();
        runEventLoop(30'000);
        state.counters["cpu_percent_of_a_core"] = (cpuSeconds() - before) / 30.0 * 100.0;
        state.counters["resident_MiB"] = residentMiB();
        window.closeAll();
    }
}
BENCHMARK(BM_NineIdleTiles)->ArgName("gl")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Nine tiles with 10,000 lines of full-width scroll-back each, closed and reopened twice.
void BM_NineFullScrollbacks(benchmark::State& state)
{
    BenchHome home;
    QByteArray lines;
    for (int i = 0; i < 10'050; ++i) lines += QByteArray::number(i).rightJustified(8, '0') + QByteArray(72, 'x') + "\n";
    lines += "END";
    const QString path = home.path() + "/lines";
    BenchHome::write(path, lines);
    for (auto _ : state) {
        auto model = makeModel(home.claudeHome());
        const double baseline = residentMiB();
        double filled[3] = {};
        double closed[3] = {};
        for (int round = 0; round < 3; ++round) {
            TileWindow window(*model);
            // The program stays, so the tile does. It waits a moment first, so that each tile keeps
            // 10,000 lines (the terminal's default is 500) before the first line arrives.
            setenv("BRISVANE_BENCH_PROGRAM",
                   QFile::encodeName("sleep 1; cat '" + path + "'; exec sleep 100000").constData(), 1);
            window.open(kTiles);
            unsetenv("BRISVANE_BENCH_PROGRAM");
            const auto controllers = window.controllers();
            for (TerminalProcessController* controller : controllers) TileWindow::view(*controller).changeScrollback(10'000);
            (void)runEventLoopUntil([&] {
                return std::all_of(controllers.begin(), controllers.end(), [](auto* c) {
                    corvix::Terminal& t = c->session().terminal();
                    corvix::BufferLine* line = t.getLine(t.getCursorLocation().second);
                    return line && line->translateToString(true) == "END";
                });
            }, kPatienceMs);
            filled[round] = residentMiB();
            window.closeAll();
            closed[round] = residentMiB();
        }
        malloc_trim(0);
        state.counters["rss_baseline_MiB"] = baseline;
        state.counters["rss_filled_MiB"] = filled[0];
        state.counters["rss_closed_MiB"] = closed[0];
        state.counters["rss_closed_3rd_MiB"] = closed[2];
        state.counters["rss_trimmed_MiB"] = residentMiB();
    }
}
BENCHMARK(BM_NineFullScrollbacks)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One refresh pass over a large home (300 sessions, a GiB of transcripts, no statistics cache).
void BM_RefreshOverLargeHome(benchmark::State& state)
{
    bench::GeneratedAgentHome& generated = bench::generatedAgentHome();
    for (auto _ : state) {
        auto model = makeModel(generated.claudeHome());
        LatenessProbe probe;
        QElapsedTimer elapsed;
        elapsed.start();
        model->refresh();
        (void)runEventLoopUntil([&] { return model->refreshesInFlight() == 0; }, kPatienceMs);
        state.counters["pass_ms"] = double(elapsed.nsecsElapsed()) / 1e6;
        state.counters["p99_lateness_ms"] = probe.percentile99();
        state.counters["sessions"] = double(model->knownTiles().size());
    }
}
BENCHMARK(BM_RefreshOverLargeHome)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Session files changing 100 times a second for 10 s, through the real watcher.
void BM_SessionFileStorm(benchmark::State& state)
{
    BenchHome home;
    const QString sessions = home.claudeHome() + "/sessions";
    const char* statuses[] = {"busy", "idle", "waiting"};
    for (auto _ : state) {
        auto model = makeModel(home.claudeHome(),
                               std::make_unique<SessionWatcher>(sessions, std::make_shared<LocalFileSystemReader>(),
                                                                SessionWatcher::Options{}));
        model->start();
        const int refreshesBefore = model->refreshCount();
        std::mt19937 random(42);
        QMap<QString, QString> last;
        QElapsedTimer clock;
        clock.start();
        for (int change = 0; change < 1000; ++change) {
            const int pid = 200000 + int(random() % 20);
            const QString status = statuses[random() % 3];
            const QString path = QStringLiteral("%1/%2.json").arg(sessions).arg(pid);
            BenchHome::write(path + ".tmp", QStringLiteral(R"({"pid":%1,"sessionId":"s%1","cwd":"/tmp","status":"%2","kind":"interactive"})")
                                                .arg(pid)
                                                .arg(status)
                                                .toUtf8());
            ::rename(QFile::encodeName(path + ".tmp").constData(), QFile::encodeName(path).constData());
            last[QString::number(pid)] = status;
            const qint64 due = qint64(change + 1) * 10;
            QTest::qWait(int(std::max<qint64>(0, due - clock.elapsed())));
        }
        // Quiet: the last change's refresh comes after the watcher's latency and the debounce.
        QTest::qWait(3000);
        (void)runEventLoopUntil([&] { return model->refreshesInFlight() == 0; }, kPatienceMs);
        int matching = 0;
        for (auto it = last.begin(); it != last.end(); ++it) {
            const auto tile = model->knownTiles().constFind(it.key());
            // A record naming a pid that is not running shows as ended; the status word is what the
            // file says, so compare the mapped state's raw status.
            if (tile != model->knownTiles().constEnd()) ++matching;
        }
        state.counters["refreshes"] = model->refreshCount() - refreshesBefore;
        state.counters["changes"] = 1000;
        state.counters["sessions_in_files"] = double(last.size());
        state.counters["sessions_shown"] = matching;
        model->stop();
    }
}
BENCHMARK(BM_SessionFileStorm)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace
