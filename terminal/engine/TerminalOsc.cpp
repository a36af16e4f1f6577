// OSC commands: current directory and document, hyperlinks, clipboard, notifications, progress
// reports and the OSC 1337 family (inline images). The colour commands are in TerminalColors.cpp.
#include "terminal/graphics/Base64.hpp"
#include "terminal/engine/Terminal.hpp"
#include "terminal/engine/TerminalOsc.hpp"
#include "terminal/screen/TinyAtom.hpp"
#include "terminal/screen/Utf8.hpp"

#include <algorithm>
#include <charconv>
#include <map>

namespace corvix {

namespace {

// Decoded OSC 52 contents above this size are refused (the host would hold them in memory twice).
constexpr size_t kMaxClipboardBytes = size_t{16} << 20;

std::string_view asText(std::span<const uint8_t> data)
{
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

bool isAscii(std::span<const uint8_t> data)
{
    return std::all_of(data.begin(), data.end(), [](uint8_t b) { return b < 0x80; });
}

std::optional<std::string> utf8Text(std::span<const uint8_t> data)
{
    std::string_view text = asText(data);
    if (!Utf8::isValid(text)) return std::nullopt;
    return std::string(text);
}

// Every part between ';' separators, empty parts kept.
std::vector<std::string_view> splitAll(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// A decimal integer with an optional sign; nothing for anything else (also on overflow).
std::optional<int64_t> parseSignedInteger(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

// "key=value;key=value" up to the first empty, "="-less or non-UTF-8 segment.
std::map<std::string, std::string, std::less<>> parseKeyValues(std::string_view text)
{
    std::map<std::string, std::string, std::less<>> values;
    for (std::string_view segment : splitAll(text, ';')) {
        const size_t eq = segment.find('=');
        if (segment.empty() || eq == std::string_view::npos || !Utf8::isValid(segment)) break;
        values[std::string(segment.substr(0, eq))] = std::string(segment.substr(eq + 1));
    }
    return values;
}

ImageSizeRequest parseDimension(const std::map<std::string, std::string, std::less<>>& args, std::string_view key)
{
    using Kind = ImageSizeRequest::Kind;
    const auto it = args.find(key);
    if (it == args.end()) return {};
    std::string_view value = it->second;
    auto number = [](std::string_view digits, int64_t max) -> std::optional<int> {
        auto n = parseSignedInteger(digits);
        if (!n || *n < 1 || *n > max) return std::nullopt;
        return int(*n);
    };
    if (value.ends_with('%')) {
        if (auto n = number(value.substr(0, value.size() - 1), 100)) return {Kind::percent, *n};
    } else if (value.ends_with("px")) {
        if (auto n = number(value.substr(0, value.size() - 2), 4095)) return {Kind::pixels, *n};
    } else if (auto n = number(value, 199)) {
        return {Kind::cells, *n};
    }
    return {}; // empty, "auto", unreadable or out of range
}

} // namespace

// ---- Titles (OSC 0, 1, 2) ---------------------------------------------------------------------

void TerminalOsc::setTitle(const std::string& text)
{
    terminal_.terminalTitle = text;
    if (terminal_.tdel) terminal_.tdel->setTerminalTitle(terminal_, terminal_.terminalTitle);
}

void TerminalOsc::setIconTitle(const std::string& text)
{
    terminal_.iconTitle = text;
    if (terminal_.tdel) terminal_.tdel->setTerminalIconTitle(terminal_, terminal_.iconTitle);
}

// ---- OSC 6 and 7: the host's current document and directory -----------------------------------
// The texts are stored for the host as data; they are never interpreted here.

void TerminalOsc::oscSetCurrentDocument(Bytes data)
{
    if (!terminal_.tdel || !terminal_.tdel->isProcessTrusted(terminal_)) return;
    auto text = utf8Text(data);
    if (!text) return;
    terminal_.hostCurrentDocument = std::move(*text);
    terminal_.tdel->hostCurrentDocumentUpdated(terminal_);
}

void TerminalOsc::oscSetCurrentDirectory(Bytes data)
{
    if (!terminal_.tdel || !terminal_.tdel->isProcessTrusted(terminal_)) return;
    auto text = utf8Text(data);
    if (!text) return;
    terminal_.hostCurrentDirectory = std::move(*text);
    terminal_.tdel->hostCurrentDirectoryUpdated(terminal_);
}

// ---- OSC 8: hyperlinks ------------------------------------------------------------------------

std::optional<TinyAtom> TerminalOsc::makePayload(const std::string& value)
{
    if (value.size() > terminal_.kMaxHyperlinkPayloadBytes) return std::nullopt;
    auto atom = terminal_.payloads.lookup(value);
    if (atom) return atom;
    if (terminal_.payloadCollectionPause_ > 0) {
        --terminal_.payloadCollectionPause_;
        return std::nullopt;
    }
    // The table is full: give back the codes no cell refers to any more, then retry.
    terminal_.garbageCollectPayload();
    atom = terminal_.payloads.lookup(value);
    // A collection scans both buffers. When it made no room, the next look-ups fail without one,
    // so a program keeping every code on screen cannot make each new link cost a scan.
    if (!atom) terminal_.payloadCollectionPause_ = terminal_.kPayloadCollectionPause;
    return atom;
}

// The print path stamps the open link's code on every cell it writes, so a link covers exactly
// its own text wherever that text went (wrapped, scrolled, on either screen).
void TerminalOsc::oscHyperlink(Bytes data)
{
    // "params;" with an empty target closes the link, as the bare ";" does.
    const bool closing = !data.empty() && data.back() == ';' &&
                         std::find(data.begin(), data.end(), ';') == data.end() - 1;
    if (closing) {
        terminal_.hyperLinkTracking.reset();
        terminal_.hyperLinkCode_ = 0;
        return;
    }
    // An over-long target is not kept: its text prints without a link.
    const bool tooLong = data.size() > terminal_.kMaxHyperlinkPayloadBytes;
    std::string payload = !tooLong && isAscii(data) ? std::string(asText(data)) : std::string();
    const Position start{terminal_.buffer_->x(), terminal_.buffer_->yBase() + terminal_.buffer_->y()};
    auto atom = tooLong ? std::nullopt : makePayload(payload);
    // A full table leaves the link's cells unmarked.
    terminal_.hyperLinkCode_ = atom ? atom->code : 0;
    terminal_.hyperLinkTracking = std::pair{start, std::move(payload)};
}

// ---- OSC 52: clipboard ------------------------------------------------------------------------

void TerminalOsc::oscClipboard(Bytes data)
{
    const auto semicolon = std::find(data.begin(), data.end(), ';');
    if (semicolon == data.end()) return;
    Bytes selection(data.begin(), semicolon);
    Bytes content(semicolon + 1, data.end());

    // Only the selection names xterm knows go back into a reply; anything else reads as "c".
    std::string pc(asText(selection));
    if (pc.empty() || pc.find_first_not_of("cpqs01234567") != std::string::npos) pc = "c";

    if (content.size() == 1 && content[0] == '?') {
        if (!terminal_.tdel || !terminal_.options.clipboardReadAllowed || !terminal_.tdel->isProcessTrusted(terminal_))
            return;
        auto clip = terminal_.tdel->clipboardRead(terminal_);
        if (!clip) return;
        std::string reply(terminal_.replyOsc());
        reply += "52;" + pc + ";" + Base64::encode(*clip);
        reply += terminal_.replySt();
        terminal_.sendResponse(reply);
        return;
    }
    if (Base64::decodedSize(content) > kMaxClipboardBytes) return;
    auto decoded = Base64::decode(content);
    if (!decoded) return;
    if (terminal_.tdel) terminal_.tdel->clipboardCopy(terminal_, *decoded);
}

// ---- OSC 777: notifications -------------------------------------------------------------------

void TerminalOsc::oscNotification(Bytes data)
{
    auto text = utf8Text(data);
    if (!text) return;
    const size_t first = text->find(';');
    if (first == std::string::npos || text->compare(0, first, "notify") != 0) return;
    const size_t second = text->find(';', first + 1);
    if (second == std::string::npos) return; // "notify;title" without a body part
    if (terminal_.tdel)
        terminal_.tdel->notify(terminal_, text->substr(first + 1, second - first - 1), text->substr(second + 1));
}

// ---- OSC 9 ; 4: progress reports --------------------------------------------------------------

std::optional<ProgressReport> TerminalOsc::parseProgressReport(Bytes data)
{
    if (!isAscii(data)) return std::nullopt;
    const auto parts = splitAll(asText(data), ';');
    if (parts.size() < 2 || parts[0] != "4") return std::nullopt;
    if (parts[1].size() != 1 || parts[1][0] < '0' || parts[1][0] > '9') return std::nullopt;
    const auto state = progressReportStateFromRaw(parts[1][0] - '0');
    if (!state) return std::nullopt;

    ProgressReport report{*state, std::nullopt};
    if (parts.size() >= 3 && !parts[2].empty()) {
        auto value = parseSignedInteger(parts[2]);
        if (!value) return std::nullopt;
        if (*state != ProgressReportState::remove) report.progress = uint8_t(std::clamp<int64_t>(*value, 0, 100));
    } else if (*state == ProgressReportState::set) {
        report.progress = 0;
    }
    return report;
}

// ---- OSC 1337: inline images and other extension content --------------------------------------

void TerminalOsc::osciTerm2(Bytes data)
{
    const auto eq = std::find(data.begin(), data.end(), '=');
    if (eq == data.end()) return;
    std::string_view key = asText(Bytes(data.begin(), eq));
    if (!Utf8::isValid(key)) return;
    if (key != "File") {
        if (terminal_.tdel) terminal_.tdel->iTermContent(terminal_, data);
        return;
    }
    const auto colon = std::find(eq + 1, data.end(), ':');
    if (colon == data.end()) return;
    const auto args = parseKeyValues(asText(Bytes(eq + 1, colon)));
    const auto inlineArg = args.find("inline");
    if (inlineArg == args.end() || inlineArg->second != "1") {
        if (terminal_.tdel) terminal_.tdel->iTermContent(terminal_, data);
        return;
    }
    auto image = Base64::decode(Bytes(colon + 1, data.end()));
    if (!image) return;
    const auto keepAspect = args.find("preserveAspectRatio");
    const bool preserveAspectRatio = keepAspect == args.end() || keepAspect->second == "1";
    if (terminal_.tdel)
        terminal_.tdel->createImage(terminal_, *image, parseDimension(args, "width"), parseDimension(args, "height"),
                          preserveAspectRatio);
}

} // namespace corvix
