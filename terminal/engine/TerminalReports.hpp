#pragma once

#include "terminal/engine/DcsHandler.hpp"

#include <cstdint>
#include <memory>
#include <span>

namespace corvix {

class Terminal;

// What the child asks the terminal about itself, and the window operations: device attributes,
// device status, the status-string request (DECRQSS) and XTWINOPS. They read the terminal's
// state and answer through its replies; made on demand, they hold nothing of their own.
class TerminalReports {
public:
    using Params = std::span<const int32_t>;
    using Bytes = std::span<const uint8_t>;

    explicit TerminalReports(Terminal& terminal) : terminal_(terminal) {}

    void cmdSendDeviceAttributes(Params pars, Bytes collect);
    void cmdDeviceStatus(Params pars, Bytes collect);
    // The handler of a status-string request (DCS $ q ... ST).
    std::unique_ptr<DcsHandler> makeDecrqssHandler();
    // Window operations (CSI ... t) and the window options they set.
    void csit(Params pars, Bytes collect);
    void cmdWindowOptions(Params pars);

private:
    Terminal& terminal_;
};

} // namespace corvix
