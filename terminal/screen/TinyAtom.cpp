#include "terminal/screen/TinyAtom.hpp"

#include <utility>

namespace corvix {

namespace {
constexpr uint16_t kLastCode = 65534;
uint16_t gLastUsed = 0; // guarded by TinyAtom::lock()
} // namespace

std::mutex& TinyAtom::lock()
{
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<uint16_t, std::any>& TinyAtom::map()
{
    static std::unordered_map<uint16_t, std::any> table;
    return table;
}

std::vector<uint16_t>& TinyAtom::freeCodes()
{
    static std::vector<uint16_t> codes;
    return codes;
}

std::optional<TinyAtom> TinyAtom::lookup(std::any value)
{
    std::lock_guard guard(lock());
    uint16_t code = 0;
    if (gLastUsed < kLastCode) {
        // Fresh codes first: a released code stays unused for as long as possible.
        code = ++gLastUsed;
    } else if (!freeCodes().empty()) {
        code = freeCodes().back();
        freeCodes().pop_back();
    } else {
        return std::nullopt;
    }
    map()[code] = std::move(value);
    return TinyAtom{code};
}

std::any TinyAtom::target() const
{
    if (code == 0) {
        return {};
    }
    std::lock_guard guard(lock());
    auto it = map().find(code);
    return it == map().end() ? std::any{} : it->second;
}

void TinyAtom::releaseLocked(uint16_t code)
{
    // Only a code that is in use goes back, so a code released twice is never handed out twice.
    if (code != 0 && map().erase(code) != 0) {
        freeCodes().push_back(code);
    }
}

void TinyAtom::release(uint16_t code)
{
    if (code == 0) {
        return;
    }
    std::lock_guard guard(lock());
    releaseLocked(code);
}

void TinyAtom::resetForTesting()
{
    std::lock_guard guard(lock());
    map().clear();
    freeCodes().clear();
    gLastUsed = 0;
}

} // namespace corvix
