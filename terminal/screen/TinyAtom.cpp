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

std::optional<TinyAtom> TinyAtom::lookup(std::any value)
{
    std::lock_guard guard(lock());
    if (gLastUsed >= kLastCode) {
        return std::nullopt;
    }
    ++gLastUsed;
    map()[gLastUsed] = std::move(value);
    return TinyAtom{gLastUsed};
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

void TinyAtom::release(uint16_t code)
{
    if (code == 0) {
        return;
    }
    std::lock_guard guard(lock());
    map().erase(code);
}

void TinyAtom::resetForTesting()
{
    std::lock_guard guard(lock());
    map().clear();
    gLastUsed = 0;
}

} // namespace corvix
