#include "terminal/engine/GraphemeClusterTable.hpp"

#include <algorithm>

namespace corvix {

std::u32string GraphemeClusterTable::character(int32_t code) const
{
    if (code <= 0x400000) {
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return U" ";
        return std::u32string(1, char32_t(code));
    }
    size_t index = size_t(code - kFirstClusterCode);
    if (index < indexToCharMap.size()) return indexToCharMap[index];
    return U" ";
}

std::u32string_view GraphemeClusterTable::characterView(int32_t code, char32_t& scratch) const
{
    if (code > 0x400000) {
        const size_t index = size_t(code - kFirstClusterCode);
        if (index < indexToCharMap.size()) return indexToCharMap[index];
        scratch = U' ';
    } else {
        scratch = code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ? U' ' : char32_t(code);
    }
    return {&scratch, 1};
}

int32_t GraphemeClusterTable::code(std::u32string_view ch)
{
    if (ch.size() == 1 && ch[0] < 0x10000) return int32_t(ch[0]);
    if (ch == U"\r\n") return 10;
    if (auto it = charToIndexMap.find(ch); it != charToIndexMap.end()) return it->second;
    std::u32string key(ch);
    int32_t assigned;
    if (!freeClusterIndices_.empty()) {
        assigned = kFirstClusterCode + freeClusterIndices_.back();
        freeClusterIndices_.pop_back();
        indexToCharMap[size_t(assigned - kFirstClusterCode)] = key;
    } else {
        assigned = lastCharIndex++;
        indexToCharMap.push_back(key);
    }
    charToIndexMap.emplace(std::move(key), assigned);
    return assigned;
}

void GraphemeClusterTable::keepOnly(const std::vector<bool>& inUse)
{
    // A free slot holds the empty string: a stored cluster never is.
    for (size_t index = 0; index < indexToCharMap.size(); index++) {
        if (inUse[index] || indexToCharMap[index].empty()) continue;
        charToIndexMap.erase(indexToCharMap[index]);
        std::u32string().swap(indexToCharMap[index]);
    }
    std::erase_if(singleScalarCodes_, [&](const auto& entry) { return !inUse[size_t(entry.second - kFirstClusterCode)]; });
    while (!indexToCharMap.empty() && indexToCharMap.back().empty()) indexToCharMap.pop_back();
    indexToCharMap.shrink_to_fit();
    lastCharIndex = kFirstClusterCode + int32_t(indexToCharMap.size());
    freeClusterIndices_.clear();
    for (size_t index = 0; index < indexToCharMap.size(); index++)
        if (indexToCharMap[index].empty()) freeClusterIndices_.push_back(int32_t(index));
    freeClusterIndices_.shrink_to_fit();
    // The next collection waits until the table has at least doubled, so the scans cost little
    // per stored cluster however many stay in use.
    const size_t live = charToIndexMap.size();
    clusterCollectionAt_ = live + std::max(live, kClusterCollectionMinimum);
    if (live == 0) {
        ClusterMap().swap(charToIndexMap);
        std::unordered_map<char32_t, int32_t>().swap(singleScalarCodes_);
    }
}

} // namespace corvix
