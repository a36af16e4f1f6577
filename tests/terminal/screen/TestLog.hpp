#pragma once

#include "terminal/screen/Log.hpp"

#include <cstdio>
#include <string_view>

namespace corvix::test {

// Inside a death-test statement: sends diagnostic lines to standard error, where the death
// test's pattern is matched.
inline void logToStderr()
{
    log::setSink([](log::Level, log::Category, std::string_view line) { std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data()); });
}

} // namespace corvix::test
