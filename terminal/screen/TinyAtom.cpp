#include "terminal/screen/TinyAtom.hpp"

namespace corvix {

std::optional<TinyAtom> TinyAtomTable::lookup(std::string_view value)
{
    std::string key(value);
    if (auto it = codeByValue_.find(key); it != codeByValue_.end()) return TinyAtom{it->second};
    if (value.size() > maxBytes_ - bytes_) return std::nullopt;
    uint16_t code = 0;
    if (lastUsed_ < kLastCode) {
        // Fresh codes first: a released code stays unused for as long as possible.
        code = ++lastUsed_;
    } else if (!freeCodes_.empty()) {
        code = freeCodes_.back();
        freeCodes_.pop_back();
    } else {
        return std::nullopt;
    }
    auto [it, added] = codeByValue_.emplace(std::move(key), code);
    if (valueByCode_.size() <= code) valueByCode_.resize(size_t(code) + 1, nullptr);
    valueByCode_[code] = &it->first;
    bytes_ += value.size();
    return TinyAtom{code};
}

const std::string* TinyAtomTable::target(uint16_t code) const
{
    return code < valueByCode_.size() ? valueByCode_[code] : nullptr;
}

void TinyAtomTable::release(uint16_t code)
{
    // Only a code that is in use goes back, so a code released twice is never handed out twice.
    const std::string* value = target(code);
    if (!value) return;
    bytes_ -= value->size();
    valueByCode_[code] = nullptr;
    codeByValue_.erase(codeByValue_.find(*value));
    freeCodes_.push_back(code);
    if (codeByValue_.empty()) {
        // Nothing left: give the index and free list memory back as well.
        std::vector<const std::string*>().swap(valueByCode_);
        std::vector<uint16_t>().swap(freeCodes_);
        lastUsed_ = 0;
    }
}

std::vector<uint16_t> TinyAtomTable::codes() const
{
    std::vector<uint16_t> all;
    all.reserve(codeByValue_.size());
    for (const auto& [value, code] : codeByValue_) all.push_back(code);
    return all;
}

} // namespace corvix
