#pragma once

#include <QByteArray>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarn {

// One file or folder of the index, packed: 12 bytes plus its name, twice (as the file system
// gives it and lowered for matching). Its path is its parents' names from the segment's root.
struct IndexNode {
    static constexpr uint32_t none = UINT32_MAX;
    enum Flag : uint8_t { directory = 1, repository = 2, link = 4, removed = 8, ascii = 16 };

    uint32_t parent = none;
    uint32_t name = 0;       // where the name starts in the segment's name bytes
    uint8_t length = 0;      // a name on Linux has at most 255 bytes
    uint8_t flags = 0;
    uint16_t pathLength = 0; // bytes below the root, capped at 65535: ranks shorter paths first

    bool is(Flag flag) const { return flags & flag; }
};

// Everything indexed under one folder (node 0 is the folder itself), in the order found: a
// folder always before what it holds. Appended to only, so a copy of its end brings another
// copy up to date; removed items are marked, their bytes kept until the folder is read again.
struct IndexSegment {
    QByteArray root; // the folder's absolute path
    std::vector<IndexNode> nodes;
    std::string names;
    std::string lowered; // the names with A-Z lowered, at the same offsets
    size_t removedCount = 0;

    explicit IndexSegment(const QByteArray& root = {});

    uint32_t add(uint32_t parent, std::string_view name, uint8_t flags);
    std::string_view name(uint32_t node) const { return {names.data() + nodes[node].name, nodes[node].length}; }
    std::string_view loweredName(uint32_t node) const { return {lowered.data() + nodes[node].name, nodes[node].length}; }
    QByteArray path(uint32_t node) const;
    // Marks the nodes and everything below them removed, in one pass.
    void remove(const std::vector<uint32_t>& removed);
    // The items (not removed) directly in each of `folders`, by one pass over the segment.
    std::unordered_map<uint32_t, std::vector<uint32_t>> children(const std::unordered_set<uint32_t>& folders) const;
    // Adds what `sub` holds below its root under `at`; the node each of sub's became (its
    // root became `at`).
    std::vector<uint32_t> graft(uint32_t at, const IndexSegment& sub);
    // Appends what `from` holds past its first `nodeCount` nodes and `nameBytes` name bytes.
    void appendTail(const IndexSegment& from, size_t nodeCount, size_t nameBytes);
    size_t bytes() const { return nodes.capacity() * sizeof(IndexNode) + names.capacity() + lowered.capacity(); }
};

} // namespace tarn
