#include "terminal/screen/Line.hpp"

namespace corvix {

std::string Line::debugDescription() const
{
    if (fragments.empty()) return "[]";
    std::string out = std::to_string(fragments.size()) + "/" + std::to_string(length) + ": [";
    for (const auto& f : fragments) {
        if (f.text) out += *f.text == "\n" ? "\\n" : *f.text;
        out += "][";
    }
    return out;
}

} // namespace corvix
