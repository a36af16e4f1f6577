#pragma once

#include "terminal/engine/EscapeSequenceParser.hpp"
#include "terminal/engine/ParserHandler.hpp"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::test {

// Bytes as text: printable ASCII as is, everything else as \xNN.
inline std::string escapeBytes(std::span<const uint8_t> bytes)
{
    std::string out;
    for (uint8_t byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += static_cast<char>(byte);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        }
    }
    return out;
}

inline std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// One call the parser made. Print runs and DCS puts keep their raw bytes so that adjacent ones
// can be joined; `position` is only set for errors and never compared.
struct ParserEvent {
    std::string kind;
    std::string text;
    int64_t position = -1;
};

// A parser owner that records every call in order. Every DCS string gets a recording handler
// unless `createDcsHandlers` is false.
class RecordingParserHandler : public ParserHandler {
public:
    std::vector<ParserEvent> events;
    bool createDcsHandlers = true;
    bool abortOnError = false;

    // The log as lines. `joined` merges adjacent print runs and adjacent DCS puts (the parser
    // hands those over per chunk); `withResets` keeps the printStateReset calls.
    std::vector<std::string> log(bool joined = true, bool withResets = false) const
    {
        std::vector<std::string> lines;
        std::string pendingKind;
        std::string pending;
        auto flush = [&] {
            if (!pendingKind.empty()) {
                lines.push_back(pendingKind + " '" + escapeBytes(bytesOf(pending)) + "'");
                pendingKind.clear();
                pending.clear();
            }
        };
        for (const ParserEvent& event : events) {
            if (event.kind == "reset" && !withResets) {
                continue;
            }
            if (event.kind == "print" || event.kind == "dcs-put") {
                if (!joined || pendingKind != event.kind) {
                    flush();
                }
                pendingKind = event.kind;
                pending += event.text;
                continue;
            }
            flush();
            lines.push_back(event.text.empty() ? event.kind : event.kind + " " + event.text);
        }
        flush();
        return lines;
    }

    void printHandler(std::span<const uint8_t> data) override { add("print", raw(data)); }
    void printStateReset() override { add("reset", ""); }
    void dispatchExecute(uint8_t code) override { add("execute", hex(code)); }
    void dispatchCsi(uint8_t code, std::span<const int32_t> pars, std::span<const uint8_t> parsTxt,
                     std::span<const uint8_t> collect) override
    {
        std::string text = "'" + escapeBytes(collect) + "' ";
        for (size_t k = 0; k < pars.size(); ++k) {
            if (k > 0) {
                text += static_cast<char>(parsTxt[k - 1]);
            }
            text += std::to_string(pars[k]);
        }
        add("csi", text + " " + static_cast<char>(code));
    }
    void dispatchEsc(std::span<const uint8_t> collect, uint8_t code) override
    {
        add("esc", "'" + escapeBytes(collect) + "' " + escapeBytes({&code, 1}));
    }
    void dispatchOsc(int64_t code, std::span<const uint8_t> data) override
    {
        add("osc", std::to_string(code) + " '" + escapeBytes(data) + "'");
    }
    void handleKittyGraphics(std::span<const uint8_t> data) override
    {
        add("kitty", "'" + escapeBytes(data) + "'");
    }
    void apcHandlerFallback(uint8_t letter, std::span<const uint8_t> data) override
    {
        add("apc", escapeBytes({&letter, 1}) + " '" + escapeBytes(data) + "'");
    }
    std::unique_ptr<DcsHandler> createDcsHandler(std::span<const uint8_t> collect,
                                                 uint8_t final) override
    {
        if (!createDcsHandlers) {
            return nullptr;
        }
        return std::make_unique<Dcs>(*this);
    }
    ParsingState errorHandler(const ParsingState& state) override
    {
        const std::string where = toString(state.currentState);
        events.push_back({"error", where + " " + hex(state.code), state.position});
        ParsingState result = state;
        result.abort = abortOnError;
        return result;
    }

private:
    class Dcs : public DcsHandler {
    public:
        explicit Dcs(RecordingParserHandler& owner) : owner_(owner) {}
        ~Dcs() override
        {
            if (!unhooked_) {
                owner_.add("dcs-drop", "");
            }
        }
        void hook(std::span<const uint8_t> collect, std::span<const int32_t> parameters,
                  uint8_t flag) override
        {
            std::string text = "'" + escapeBytes(collect) + "' [";
            for (size_t k = 0; k < parameters.size(); ++k) {
                text += (k > 0 ? ";" : "") + std::to_string(parameters[k]);
            }
            owner_.add("dcs-hook", text + "] " + escapeBytes({&flag, 1}));
        }
        void put(std::span<const uint8_t> data) override { owner_.add("dcs-put", raw(data)); }
        void unhook() override
        {
            unhooked_ = true;
            owner_.add("dcs-unhook", "");
        }

    private:
        RecordingParserHandler& owner_;
        bool unhooked_ = false;
    };

    static std::string raw(std::span<const uint8_t> data)
    {
        return {reinterpret_cast<const char*>(data.data()), data.size()};
    }
    static std::string hex(uint8_t code)
    {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02x", code);
        return text;
    }
    void add(std::string kind, std::string text)
    {
        events.push_back({std::move(kind), std::move(text)});
    }
};

} // namespace corvix::test
