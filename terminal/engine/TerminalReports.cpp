// Device reports and responses: device status (DSR), device attributes (DA) and the status-string
// request (DECRQSS). Every value in a reply is formatted from the terminal's own state; no reply
// echoes bytes of the request.
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalReports.hpp"

#include "terminal/engine/DcsHandler.hpp"

#include <algorithm>
#include <string>

namespace corvix {

namespace {

// Printable ASCII as it is, everything else as \xNN, so a diagnostic line cannot carry controls.
std::string printable(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        auto b = uint8_t(c);
        if (b >= 0x20 && b < 0x7f) {
            out += c;
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

// DCS $ q <request> ST. The recognised requests are two bytes at most, so only a short prefix is
// kept: a longer string is unrecognised whatever it holds, and a huge one costs no memory.
class DECRQSS final : public DcsHandler {
public:
    explicit DECRQSS(Terminal& terminal) : terminal_(terminal) {}

    void hook(std::span<const uint8_t>, std::span<const int32_t>, uint8_t) override
    {
        data_.clear();
        overlong_ = false;
    }

    void put(std::span<const uint8_t> data) override
    {
        size_t room = kKept - data_.size();
        if (data.size() > room) overlong_ = true;
        data_.append(reinterpret_cast<const char*>(data.data()), std::min(room, data.size()));
    }

    void unhook() override
    {
        Terminal& t = terminal_;
        std::optional<std::string> value = overlong_ ? std::nullopt : answer(t, data_);
        std::string reply(t.replyDcs());
        if (value) {
            reply += "1$r";
            reply += *value;
        } else {
            reply += "0$r";
            t.logInfo("Unknown DCS + " + printable(data_) + (overlong_ ? "..." : ""));
        }
        reply += t.replySt();
        t.sendResponse(reply);
    }

private:
    static constexpr size_t kKept = 32;

    static std::optional<std::string> answer(Terminal& t, std::string_view request)
    {
        Buffer& b = t.buffer();
        if (request == "\"q") return std::string("0\"q"); // no character is protected
        if (request == "\"p") return std::string("65;1\"p");
        if (request == "r") return std::to_string(b.scrollTop() + 1) + ";" + std::to_string(b.scrollBottom() + 1) + "r";
        if (request == "m") return t.curAttr.toSgr();
        if (request == "s") return std::to_string(b.marginLeft() + 1) + ";" + std::to_string(b.marginRight() + 1) + "s";
        // DECSCUSR numbers the styles in the order of the enumeration, from 1.
        if (request == " q") return std::to_string(int(t.options.cursorStyle) + 1) + " q";
        return std::nullopt;
    }

    Terminal& terminal_;
    std::string data_;
    bool overlong_ = false;
};

} // namespace

void TerminalReports::cmdSendDeviceAttributes(Params pars, Bytes collect)
{
    if (pars[0] > 0) {
        terminal_.logInfo("SendDeviceAttributes got " + terminal_.decimalList(pars) + " and " +
                std::string(reinterpret_cast<const char*>(collect.data()), collect.size()));
        return;
    }
    std::string reply(terminal_.replyCsi());
    if (terminal_.collectIs(collect, ">")) {
        reply += ">65;20;1c";
    } else if (collect.empty()) {
        const std::string& name = terminal_.options.termName;
        if (name.starts_with("xterm")) {
            // No printer port (2) and no selective erase (6): neither is claimed.
            reply += terminal_.options.enableSixelReported ? "?65;4;1;21;22;17;28c" : "?65;1;21;22;17;28c";
        } else if (name.starts_with("screen") || name.starts_with("rxvt-unicode")) {
            reply += "?1;2c";
        } else if (name.starts_with("linux")) {
            reply += "?6c";
        } else {
            return;
        }
    } else {
        return;
    }
    terminal_.sendResponse(reply);
}

void TerminalReports::cmdDeviceStatus(Params pars, Bytes collect)
{
    Buffer& b = *terminal_.buffer_;
    // The pending-wrap column (x == cols) is reported as the last column it stands on.
    const int x = std::min(b.x(), terminal_.cols - 1);
    std::string reply(terminal_.replyCsi());
    if (collect.empty()) {
        switch (pars[0]) {
        case 5: reply += "0n"; break;
        case 6: {
            int row = std::max(1, b.y() + 1 - (terminal_.originMode ? b.scrollTop() : 0));
            int col = std::max(1, x + 1 - (terminal_.originMode ? b.marginLeft() : 0));
            reply += std::to_string(row) + ";" + std::to_string(col) + "R";
            break;
        }
        default: return;
        }
        terminal_.sendResponse(reply);
        return;
    }
    if (!terminal_.collectIs(collect, "?")) return;
    switch (pars[0]) {
    case 6: {
        int row = b.y() + 1 - (terminal_.originMode ? b.scrollTop() : 0);
        int col = std::max(1, x + 1 - (terminal_.originMode && terminal_.marginMode ? b.marginLeft() : 0));
        reply += "?" + std::to_string(row) + ";" + std::to_string(col) + ";1R";
        break;
    }
    case 15: reply += "?10n"; break;
    case 25: reply += "?21n"; break;
    case 26: reply += "?27;1;0;0n"; break;
    case 55: reply += "?53n"; break;
    case 56: reply += "?57;1n"; break;
    case 62: reply += "0*{"; break;
    case 63: {
        int id = pars.size() > 1 ? pars[1] : 0;
        reply = std::string(terminal_.replyDcs()) + std::to_string(id) + "!~0000" + std::string(terminal_.replySt());
        break;
    }
    case 75: reply += "?70n"; break;
    case 85: reply += "?83n"; break;
    default: return;
    }
    terminal_.sendResponse(reply);
}

std::unique_ptr<DcsHandler> TerminalReports::makeDecrqssHandler()
{
    return std::make_unique<DECRQSS>(terminal_);
}

} // namespace corvix
