#pragma once

#include "terminal/engine/Terminal.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace corvix::test {

// A delegate that records every callback by name (with its main argument) and every reply
// byte sent to the child.
class RecordingDelegate : public TerminalDelegate {
public:
    std::vector<std::string> calls;
    std::string sent;

    // Calls whose name starts with `prefix`.
    std::vector<std::string> callsNamed(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (auto& c : calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }
    void clear()
    {
        calls.clear();
        sent.clear();
    }

    void showCursor(Terminal&) override { calls.push_back("showCursor"); }
    void hideCursor(Terminal&) override { calls.push_back("hideCursor"); }
    void setTerminalTitle(Terminal&, const std::string& title) override { calls.push_back("setTerminalTitle " + title); }
    void setTerminalIconTitle(Terminal&, const std::string& title) override
    {
        calls.push_back("setTerminalIconTitle " + title);
    }
    std::optional<std::vector<uint8_t>> windowCommand(Terminal&, const WindowManipulationCommand& c) override
    {
        calls.push_back("windowCommand " + std::to_string(int(c.kind)) + " " + std::to_string(c.a) + " " +
                        std::to_string(c.b));
        return std::nullopt;
    }
    void sizeChanged(Terminal&) override { calls.push_back("sizeChanged"); }
    void send(Terminal&, std::span<const uint8_t> data) override
    {
        sent.append(reinterpret_cast<const char*>(data.data()), data.size());
        calls.push_back("send");
    }
    void scrolled(Terminal&, int yDisp) override { calls.push_back("scrolled " + std::to_string(yDisp)); }
    void linefeed(Terminal&) override { calls.push_back("linefeed"); }
    void bufferActivated(Terminal&) override { calls.push_back("bufferActivated"); }
    void synchronizedOutputChanged(Terminal&, bool active) override
    {
        calls.push_back(std::string("synchronizedOutputChanged ") + (active ? "true" : "false"));
    }
    void bell(Terminal&) override { calls.push_back("bell"); }
    void selectionChanged(Terminal&) override { calls.push_back("selectionChanged"); }
    void mouseModeChanged(Terminal&) override { calls.push_back("mouseModeChanged"); }
    void cursorStyleChanged(Terminal&, CursorStyle s) override
    {
        calls.push_back("cursorStyleChanged " + std::to_string(int(s)));
    }
    void hostCurrentDirectoryUpdated(Terminal&) override { calls.push_back("hostCurrentDirectoryUpdated"); }
    void hostCurrentDocumentUpdated(Terminal&) override { calls.push_back("hostCurrentDocumentUpdated"); }
    void colorChanged(Terminal&, std::optional<int> idx) override
    {
        calls.push_back("colorChanged " + (idx ? std::to_string(*idx) : std::string("nil")));
    }
    void iTermContent(Terminal&, std::span<const uint8_t> content) override
    {
        calls.push_back("iTermContent " + std::string(content.begin(), content.end()));
    }
    void clipboardCopy(Terminal&, std::span<const uint8_t> content) override
    {
        calls.push_back("clipboardCopy " + std::string(content.begin(), content.end()));
    }
    void notify(Terminal&, const std::string& title, const std::string& body) override
    {
        calls.push_back("notify " + title + " | " + body);
    }
    void progressReport(Terminal&, const ProgressReport& r) override
    {
        calls.push_back("progressReport " + std::to_string(int(r.state)) + " " +
                        (r.progress ? std::to_string(*r.progress) : std::string("nil")));
    }
    bool createImage(Terminal&, std::span<const uint8_t> data, ImageSizeRequest w, ImageSizeRequest h,
                     bool preserveAspectRatio) override
    {
        calls.push_back("createImage " + std::to_string(data.size()) + " " + std::to_string(int(w.kind)) + ":" +
                        std::to_string(w.value) + " " + std::to_string(int(h.kind)) + ":" + std::to_string(h.value));
        return false;
    }
};

} // namespace corvix::test
