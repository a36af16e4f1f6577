#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvix {

// The cell codes of characters that need more than one scalar or lie past U+FFFF: a code is
// kFirstClusterCode + its index in the table. The terminal collects the table when it asks to
// be (`collectionDue`), telling it which codes the cells still hold.
class GraphemeClusterTable {
public:
    static constexpr int32_t kFirstClusterCode = 0x400001;
    // Bounds of the table: scalars in one cluster, and clusters in all.
    static constexpr size_t kMaxClusterScalars = 32;
    static constexpr size_t kMaxClusterCodes = size_t{1} << 20;
    // Clusters stored before the table is first collected.
    static constexpr size_t kClusterCollectionMinimum = 65536;

    // The text of a code: a scalar, or a stored cluster (a space for an unknown code).
    std::u32string character(int32_t code) const;
    // The same without a copy: a view of the table's entry, or of `scratch` set to the scalar.
    // Valid until the table changes.
    std::u32string_view characterView(int32_t code, char32_t& scratch) const;
    // The code of a character: the scalar below U+10000, else the stored (or newly stored)
    // cluster's code. Stores even when `collectionDue`; the terminal collects first.
    int32_t code(std::u32string_view character);
    // A scalar past U+FFFF's code when one was kept by `rememberScalar`; emoji come again and
    // again, so their codes are kept by scalar rather than looked up as strings.
    std::optional<int32_t> scalarCode(char32_t scalar) const
    {
        if (auto it = singleScalarCodes_.find(scalar); it != singleScalarCodes_.end()) return it->second;
        return std::nullopt;
    }
    void rememberScalar(char32_t scalar, int32_t code) { singleScalarCodes_.emplace(scalar, code); }
    // The table has room for `text`: it is stored already, or the table is not full.
    bool hasRoomFor(std::u32string_view text) const
    {
        return charToIndexMap.contains(text) || charToIndexMap.size() < kMaxClusterCodes;
    }

    // `character` has its code already: it needs none stored.
    bool hasCode(std::u32string_view character) const
    {
        return (character.size() == 1 && character[0] < 0x10000) || character == U"\r\n" ||
               charToIndexMap.contains(character);
    }

    // Clusters stored now.
    size_t size() const { return charToIndexMap.size(); }
    bool collectionDue() const { return charToIndexMap.size() >= clusterCollectionAt_; }
    // Drops the clusters no cell holds; their codes are handed out again. `forEachHeldCode`
    // calls its argument with every code a cell holds.
    template <typename ForEachHeldCode>
    void collect(ForEachHeldCode&& forEachHeldCode)
    {
        std::vector<bool> inUse(indexToCharMap.size());
        forEachHeldCode([&](int32_t code) {
            const size_t index = size_t(code) - size_t(kFirstClusterCode);
            if (code >= kFirstClusterCode && index < inUse.size()) inUse[index] = true;
        });
        keepOnly(inUse);
    }

private:
    void keepOnly(const std::vector<bool>& inUse);

    // Looked up by view, so that a cluster already stored costs no copy.
    struct ClusterHash {
        using is_transparent = void;
        size_t operator()(std::u32string_view text) const { return std::hash<std::u32string_view>{}(text); }
    };
    using ClusterMap = std::unordered_map<std::u32string, int32_t, ClusterHash, std::equal_to<>>;
    ClusterMap charToIndexMap;
    std::unordered_map<char32_t, int32_t> singleScalarCodes_; // the same codes, for single scalars
    std::vector<std::u32string> indexToCharMap; // a free slot holds the empty string
    std::vector<int32_t> freeClusterIndices_;
    size_t clusterCollectionAt_ = kClusterCollectionMinimum;
    int32_t lastCharIndex = kFirstClusterCode;
};

} // namespace corvix
