#pragma once

#include "terminal/view/CategoryLog.hpp"

namespace corvix::testing {

// Qt messages of the glyph atlas category while alive, as (type, text).
struct AtlasLog : CategoryLog {
    AtlasLog() : CategoryLog("corvix.gpu.atlas") {}
};

} // namespace corvix::testing
