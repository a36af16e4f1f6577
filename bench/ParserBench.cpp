#include "Payloads.hpp"

#include "terminal/engine/EscapeSequenceParser.hpp"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <string>

using namespace corvix;

namespace {

// Takes everything and does nothing, so the figures are the parser's own.
class NoOpHandler : public ParserHandler {
public:
    void printHandler(std::span<const uint8_t> data) override
    {
        benchmark::DoNotOptimize(data.data());
    }
    void dispatchCsi(uint8_t, std::span<const int32_t> pars, std::span<const uint8_t>,
                     std::span<const uint8_t>) override
    {
        benchmark::DoNotOptimize(pars.data());
    }
    void dispatchEsc(std::span<const uint8_t>, uint8_t) override {}
    void dispatchOsc(int64_t, std::span<const uint8_t>) override {}
};

constexpr size_t kPayloadSize = size_t{1} << 20;

// Lines of prose, as a build log or a `cat` of source gives.
std::string plainText()
{
    static const std::string words[] = {"the", "parser", "turns", "bytes", "into", "calls",
                                        "on", "a", "terminal", "without", "allocation"};
    std::string out;
    size_t word = 0;
    while (out.size() < kPayloadSize) {
        std::string line;
        while (line.size() < 72) {
            line += words[word++ % std::size(words)];
            line += ' ';
        }
        out += line + "\r\n";
    }
    return out;
}

// Short words each with its own colour, as coloured `ls`, compilers and agents' UIs give.
std::string sgrHeavy()
{
    std::string out;
    int n = 0;
    while (out.size() < kPayloadSize) {
        out += "\x1b[38;5;" + std::to_string(n % 256) + "m" + "word";
        out += "\x1b[1;4;48;2;" + std::to_string(n % 256) + ";40;50m" + "x";
        out += "\x1b[0m ";
        if (++n % 10 == 0) {
            out += "\r\n";
        }
    }
    return out;
}

// Japanese and symbols: every byte at or above 0x80, many of them in 0x80-0x9F.
std::string utf8Text()
{
    std::string out;
    while (out.size() < kPayloadSize) {
        out += "端末の本文を解析する ✳ テスト文字列\r\n";
    }
    return out;
}

void runParser(benchmark::State& state, const std::string& input)
{
    NoOpHandler handler;
    EscapeSequenceParser parser(&handler);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(input.data()),
                                         input.size());
    for (auto _ : state) {
        parser.parse(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations())
                            * static_cast<int64_t>(bytes.size()));
}

void BM_ParsePlainText(benchmark::State& state)
{
    static const std::string input = plainText();
    runParser(state, input);
}

void BM_ParseSgrHeavy(benchmark::State& state)
{
    static const std::string input = sgrHeavy();
    runParser(state, input);
}

// The peer comparison's SGR payload: the parser's own share of it.
void BM_ParseSgrPerCharacter(benchmark::State& state)
{
    static const std::string input = bench::sgrPerCharacter(kPayloadSize);
    runParser(state, input);
}

void BM_ParseUtf8Text(benchmark::State& state)
{
    static const std::string input = utf8Text();
    runParser(state, input);
}

} // namespace

BENCHMARK(BM_ParsePlainText);
BENCHMARK(BM_ParseSgrHeavy);
BENCHMARK(BM_ParseSgrPerCharacter);
BENCHMARK(BM_ParseUtf8Text);
