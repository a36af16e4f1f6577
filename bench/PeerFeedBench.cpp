// The same payloads fed into Corvix, libvterm and xterm.js (headless) in one run, 64 KiB chunks
// each, reported as MiB/s of each engine and Corvix's ratio to each peer and to the faster one.
//
// libvterm setup, as close in spirit to the Corvix terminal as its public API allows: an 80x24
// UTF-8 terminal with its screen layer (the layer that keeps cells, like Corvix's buffer), damage
// merged to whole scrolls so that no per-cell damage work is counted, and an `sb_pushline`
// callback that copies each line scrolled off the top into a 1000-line scroll-back ring, as
// Corvix keeps 1000 lines of scroll-back. Nothing else is hooked up.
//
// xterm.js: `@xterm/headless` run by `node` from bench/peer-xterm (installed there by `make
// bench`), one process for the whole run that loads each payload into memory and feeds it to a
// fresh 80x24 terminal with 1000 lines of scroll-back on request, timing itself until the last
// chunk is parsed. Without node or the package the xterm columns stay out.
//
// Plain ASCII is also measured against two reference writers of the same 24-byte cells, the
// ceiling the cell's size sets: a loop that finds CR with memchr, writes an 8-byte head and a
// 16-byte tail per byte and moves to the next row of an 80-column ring at each line end, once
// as is and once also blanking each new row, as a terminal must.
#include "BenchTerminal.hpp"

#include "terminal/engine/Terminal.hpp"

#include <benchmark/benchmark.h>
#include <vterm.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

using namespace corvix;
using bench::NullDelegate;

namespace {

constexpr int kCols = 80;
constexpr int kRows = 24;
constexpr int kScrollback = 1000;

// libvterm's scroll-back: a ring of copied lines, like Corvix's line ring.
struct VtermScrollback {
    std::vector<VTermScreenCell> cells = std::vector<VTermScreenCell>(size_t{kScrollback} * kCols);
    size_t next = 0;

    static int pushLine(int cols, const VTermScreenCell* line, void* user)
    {
        auto* self = static_cast<VtermScrollback*>(user);
        int n = cols < kCols ? cols : kCols;
        std::copy(line, line + n, self->cells.begin() + ptrdiff_t((self->next % kScrollback) * kCols));
        ++self->next;
        return 1;
    }
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double feedCorvix(const std::string& payload)
{
    NullDelegate delegate;
    TerminalOptions options;
    options.cols = kCols;
    options.rows = kRows;
    options.scrollback = kScrollback;
    Terminal terminal(&delegate, options);
    auto bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    auto start = std::chrono::steady_clock::now();
    bench::feedInChunks(terminal, bytes);
    terminal.clearUpdateRange();
    return secondsSince(start);
}

// One stored cell of the reference writers: the size of Corvix's cell.
struct ReferenceCell {
    uint64_t head;
    uint64_t tail[2];
};
static_assert(sizeof(ReferenceCell) == 24);

double feedReferenceWriter(const std::string& payload, bool blankNewRows)
{
    constexpr size_t kRingRows = size_t{kScrollback} + kRows;
    std::vector<ReferenceCell> ring(kRingRows * kCols);
    const uint64_t tail0 = 0x0101010101010101u;
    const uint64_t tail1 = 0x0202020202020202u;
    size_t row = 0;
    int col = 0;
    ReferenceCell* line = ring.data();
    auto nextRow = [&] {
        row = row + 1 == kRingRows ? 0 : row + 1;
        line = ring.data() + row * kCols;
        col = 0;
        if (blankNewRows)
            for (int c = 0; c < kCols; c++) line[c] = {' ' | (uint64_t{1} << 32), {0, 0}};
    };
    const char* p = payload.data();
    const char* const end = p + payload.size();
    const auto start = std::chrono::steady_clock::now();
    while (p < end) {
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        const char* stop = cr ? cr : end;
        for (; p < stop; ++p) {
            if (col == kCols) nextRow();
            line[col++] = {uint64_t(uint8_t(*p)) | (uint64_t{1} << 32), {tail0, tail1}};
        }
        if (!cr) break;
        p = cr + 1;
        if (p < end && *p == '\n') ++p;
        nextRow();
    }
    benchmark::DoNotOptimize(ring.data());
    benchmark::ClobberMemory();
    return secondsSince(start);
}

double feedVterm(const std::string& payload)
{
    VtermScrollback scrollback;
    VTermScreenCallbacks callbacks{};
    callbacks.sb_pushline = &VtermScrollback::pushLine;
    VTerm* vt = vterm_new(kRows, kCols);
    vterm_set_utf8(vt, 1);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_set_callbacks(screen, &callbacks, &scrollback);
    vterm_screen_set_damage_merge(screen, VTERM_DAMAGE_SCROLL);
    vterm_screen_reset(screen, 1);
    auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at < payload.size(); at += bench::kChunkSize)
        vterm_input_write(vt, payload.data() + at, std::min(bench::kChunkSize, payload.size() - at));
    vterm_screen_flush_damage(screen);
    double seconds = secondsSince(start);
    vterm_free(vt);
    return seconds;
}

// The xterm.js peer process: commands on its standard input, one answer line each.
class XtermPeer {
public:
    XtermPeer()
    {
        // A peer that ends early must not end the benchmark with it.
        std::signal(SIGPIPE, SIG_IGN);
        int toChild[2];
        int fromChild[2];
        if (pipe(toChild) != 0) return;
        if (pipe(fromChild) != 0) {
            close(toChild[0]);
            close(toChild[1]);
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            close(toChild[1]);
            close(fromChild[0]);
            if (chdir(BRISVANE_PEER_XTERM_DIR) == 0) execlp("node", "node", "feed.js", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        if (pid_ < 0) {
            close(toChild[1]);
            close(fromChild[0]);
            return;
        }
        commands_ = fdopen(toChild[1], "w");
        answers_ = fdopen(fromChild[0], "r");
    }
    XtermPeer(const XtermPeer&) = delete;
    XtermPeer& operator=(const XtermPeer&) = delete;
    ~XtermPeer()
    {
        if (commands_) std::fclose(commands_); // the peer ends at the end of its input
        if (answers_) std::fclose(answers_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }

    // Hands the payload over through a temporary file; false when the peer cannot run.
    bool load(const std::string& payload)
    {
        if (!commands_ || !answers_) return false;
        char path[] = "/tmp/brisvane-peer-payload-XXXXXX";
        const int fd = mkstemp(path);
        if (fd < 0) return false;
        bool written = write(fd, payload.data(), payload.size()) == ssize_t(payload.size());
        close(fd);
        const auto answer = written ? ask(std::string("load ") + path) : std::nullopt;
        unlink(path);
        return answer == "ok";
    }
    std::optional<double> feed()
    {
        const auto answer = ask("feed");
        if (!answer) return std::nullopt;
        char* end = nullptr;
        const double seconds = std::strtod(answer->c_str(), &end);
        if (end == answer->c_str() || seconds <= 0) return std::nullopt;
        return seconds;
    }

private:
    std::optional<std::string> ask(const std::string& command)
    {
        if (std::fprintf(commands_, "%s\n", command.c_str()) < 0 || std::fflush(commands_) != 0) return std::nullopt;
        std::string line;
        for (int c; (c = std::fgetc(answers_)) != EOF && c != '\n';) line += char(c);
        if (line.empty()) return std::nullopt;
        return line;
    }

    pid_t pid_ = -1;
    FILE* commands_ = nullptr;
    FILE* answers_ = nullptr;
};

XtermPeer& xtermPeer()
{
    static XtermPeer peer;
    return peer;
}

// The engines take turns, and each one's fastest feed counts: this machine is shared, and a
// burst of other work during one feed would otherwise decide the ratio.
// With `withWriters` the reference writers take their turns too.
void comparePeers(benchmark::State& state, const std::string& payload, bool withWriters = false)
{
    constexpr double kNone = std::numeric_limits<double>::infinity();
    double corvixBest = kNone;
    double vtermBest = kNone;
    double xtermBest = kNone;
    double writerBest = kNone;
    double blankingWriterBest = kNone;
    const bool withXterm = xtermPeer().load(payload);
    for (auto _ : state) {
        double corvix = feedCorvix(payload);
        double vterm = feedVterm(payload);
        double xterm = 0;
        if (withXterm) {
            if (auto seconds = xtermPeer().feed()) {
                xterm = *seconds;
                xtermBest = std::min(xtermBest, xterm);
            }
        }
        double writers = 0;
        if (withWriters) {
            const double writer = feedReferenceWriter(payload, false);
            const double blankingWriter = feedReferenceWriter(payload, true);
            writerBest = std::min(writerBest, writer);
            blankingWriterBest = std::min(blankingWriterBest, blankingWriter);
            writers = writer + blankingWriter;
        }
        corvixBest = std::min(corvixBest, corvix);
        vtermBest = std::min(vtermBest, vterm);
        state.SetIterationTime(corvix + vterm + xterm + writers);
    }
    double mib = double(payload.size()) / double(1 << 20);
    state.counters["corvix_MiB/s"] = mib / corvixBest;
    state.counters["libvterm_MiB/s"] = mib / vtermBest;
    state.counters["x_libvterm"] = vtermBest / corvixBest;
    if (xtermBest < kNone) {
        state.counters["xterm_MiB/s"] = mib / xtermBest;
        state.counters["x_xterm"] = xtermBest / corvixBest;
    } else {
        state.SetLabel("xterm.js peer not run: `make bench` installs it");
    }
    state.counters["x_faster_peer"] = std::min(vtermBest, xtermBest) / corvixBest;
    if (withWriters) {
        // Corvix's rate as a share of each writer's.
        state.counters["writer_MiB/s"] = mib / writerBest;
        state.counters["of_writer"] = writerBest / corvixBest;
        state.counters["blanking_writer_MiB/s"] = mib / blankingWriterBest;
        state.counters["of_blanking_writer"] = blankingWriterBest / corvixBest;
    }
}

void BM_PeerPlainAscii(benchmark::State& state)
{
    static const std::string payload = bench::plainAsciiLines();
    comparePeers(state, payload, true);
}

void BM_PeerSgrPerCharacter(benchmark::State& state)
{
    static const std::string payload = bench::sgrPerCharacter();
    comparePeers(state, payload);
}

void BM_PeerMixedCjk(benchmark::State& state)
{
    static const std::string payload = bench::mixedCjk();
    comparePeers(state, payload);
}

void BM_PeerAgentScreen(benchmark::State& state)
{
    static const std::string payload = bench::agentScreen();
    comparePeers(state, payload);
}

} // namespace

BENCHMARK(BM_PeerPlainAscii)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerSgrPerCharacter)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerMixedCjk)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerAgentScreen)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
