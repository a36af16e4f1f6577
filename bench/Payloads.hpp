#pragma once

// Terminal output payloads for throughput benchmarks, shared by the feed benchmarks and the
// peer comparison. Each generator returns at least `size` bytes of whole lines.

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvix::bench {

inline constexpr size_t kPayloadSize = size_t{32} << 20;
inline constexpr size_t kChunkSize = size_t{64} << 10;

// A small deterministic generator, so every run feeds the same bytes.
struct Lcg {
    uint32_t state = 12345;
    uint32_t next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

// Lines of prose, as a build log or `cat` of a source file gives.
inline std::string plainAsciiLines(size_t size = kPayloadSize)
{
    static const char* words[] = {"the", "terminal", "turns", "bytes", "into", "cells", "while", "a",
                                  "compiler", "prints", "warnings", "about", "unused", "variables"};
    Lcg rng;
    std::string out;
    out.reserve(size + 128);
    while (out.size() < size) {
        size_t lineStart = out.size();
        size_t target = 40 + rng.next() % 39;
        while (out.size() - lineStart < target) {
            out += words[rng.next() % std::size(words)];
            out += ' ';
        }
        out += "\r\n";
    }
    return out;
}

// Every character in its own 256-colour foreground.
inline std::string sgrPerCharacter(size_t size = kPayloadSize)
{
    Lcg rng;
    std::string out;
    out.reserve(size + 128);
    int col = 0;
    while (out.size() < size) {
        out += "\x1b[38;5;";
        out += std::to_string(rng.next() % 256);
        out += 'm';
        out += char('a' + rng.next() % 26);
        if (++col == 78) {
            out += "\x1b[0m\r\n";
            col = 0;
        }
    }
    return out;
}

// Japanese, Korean and emoji text with some ASCII, as chat and documentation show.
inline std::string mixedCjk(size_t size = kPayloadSize)
{
    static const char* pieces[] = {"日本語の", "テキスト", "を表示", "します。", "한국어 ", "문장 ",
                                   "漢字", "かな", "カナ", "👍", "🎉", "✅ ", "done ", "ok "};
    Lcg rng;
    std::string out;
    out.reserve(size + 128);
    while (out.size() < size) {
        int width = 0;
        while (width < 60) {
            const char* p = pieces[rng.next() % std::size(pieces)];
            out += p;
            width += 6;
        }
        out += "\r\n";
    }
    return out;
}

// What a coding agent draws: boxes, bullets, tree glyphs and colour changes every few
// characters, with cursor moves and line erases as it redraws its status area.
inline std::string agentScreen(size_t size = kPayloadSize)
{
    static const char* lines[] = {
        "\x1b[38;5;174m╭──────────────────────────────────────────────╮\x1b[39m\r\n",
        "\x1b[38;5;174m│\x1b[39m \x1b[1m✻ Welcome\x1b[22m to the session                      \x1b[38;5;174m│\x1b[39m\r\n",
        "\x1b[38;5;174m╰──────────────────────────────────────────────╯\x1b[39m\r\n",
        "\x1b[32m●\x1b[39m \x1b[1mRead\x1b[22m(src/terminal/Buffer.cpp)\r\n",
        "  \x1b[2m⎿\x1b[22m  Read \x1b[1m412\x1b[22m lines (ctrl+r to expand)\r\n",
        "\x1b[32m●\x1b[39m \x1b[1mUpdate\x1b[22m(src/terminal/Buffer.cpp)\r\n",
        "  \x1b[2m⎿\x1b[22m  Updated with \x1b[32m3 additions\x1b[39m and \x1b[31m1 removal\x1b[39m\r\n",
        "     \x1b[48;5;22m+    return x;\x1b[49m\r\n",
        "     \x1b[48;5;52m-    return y;\x1b[49m\r\n",
        "\x1b[2K\x1b[1G\x1b[38;5;174m✻\x1b[39m Thinking… \x1b[2m(3s · ↑ 1.2k tokens)\x1b[22m\r\n",
        "\x1b[1A\x1b[2K\x1b[1G\x1b[38;5;174m✢\x1b[39m Thinking… \x1b[2m(4s · ↑ 1.4k tokens)\x1b[22m\r\n",
        "\x1b[3A\x1b[10C\x1b[K\x1b[3B\r\n",
    };
    Lcg rng;
    std::string out;
    out.reserve(size + 256);
    while (out.size() < size) out += lines[rng.next() % std::size(lines)];
    return out;
}

} // namespace corvix::bench
