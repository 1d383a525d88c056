#include "index/IndexSegment.h"

#include <algorithm>

namespace tarn {

IndexSegment::IndexSegment(const QByteArray& root) : root(root) {
    const qsizetype slash = root.lastIndexOf('/');
    const QByteArray name = slash >= 0 && slash + 1 < root.size() ? root.mid(slash + 1) : root;
    add(IndexNode::none, std::string_view(name.constData(), size_t(std::min<qsizetype>(name.size(), 255))),
        IndexNode::directory);
}

uint32_t IndexSegment::add(uint32_t parent, std::string_view name, uint8_t flags) {
    IndexNode node;
    node.parent = parent;
    node.name = static_cast<uint32_t>(names.size());
    node.length = static_cast<uint8_t>(std::min<size_t>(name.size(), 255));
    bool ascii = true;
    names.append(name.data(), node.length);
    for (size_t i = 0; i < node.length; ++i) {
        const char c = name[i];
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r') ascii = false;
        lowered.push_back(c >= 'A' && c <= 'Z' ? char(c + 32) : c);
    }
    node.flags = flags | (ascii ? IndexNode::ascii : 0);
    if (parent != IndexNode::none) {
        const uint32_t below = nodes[parent].pathLength + (parent == 0 ? 0u : 1u) + node.length;
        node.pathLength = static_cast<uint16_t>(std::min<uint32_t>(below, UINT16_MAX));
    }
    nodes.push_back(node);
    return static_cast<uint32_t>(nodes.size() - 1);
}

QByteArray IndexSegment::path(uint32_t node) const {
    std::vector<uint32_t> chain;
    for (uint32_t at = node; at != 0 && at != IndexNode::none; at = nodes[at].parent) chain.push_back(at);
    QByteArray result = root;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        const std::string_view part = name(*at);
        result += '/';
        result.append(part.data(), qsizetype(part.size()));
    }
    return result;
}

void IndexSegment::remove(const std::vector<uint32_t>& removed) {
    if (removed.empty()) return;
    uint32_t first = removed.front();
    const auto mark = [&](uint32_t node) {
        removedCount += !nodes[node].is(IndexNode::removed);
        nodes[node].flags |= IndexNode::removed;
    };
    for (const uint32_t node : removed) {
        mark(node);
        first = std::min(first, node);
    }
    // What a folder holds comes after it, so one pass forward reaches all of it.
    for (uint32_t at = first + 1; at < nodes.size(); ++at)
        if (nodes[at].parent != IndexNode::none && nodes[nodes[at].parent].is(IndexNode::removed)) mark(at);
}

std::unordered_map<uint32_t, std::vector<uint32_t>> IndexSegment::children(const std::unordered_set<uint32_t>& folders) const {
    std::unordered_map<uint32_t, std::vector<uint32_t>> found;
    for (const uint32_t folder : folders) found[folder];
    for (size_t at = 1; at < nodes.size(); ++at)
        if (!nodes[at].is(IndexNode::removed) && folders.count(nodes[at].parent)) found[nodes[at].parent].push_back(uint32_t(at));
    return found;
}

std::vector<uint32_t> IndexSegment::graft(uint32_t at, const IndexSegment& sub) {
    std::vector<uint32_t> became(sub.nodes.size());
    became[0] = at;
    nodes[at].flags |= sub.nodes[0].flags & IndexNode::repository;
    for (size_t i = 1; i < sub.nodes.size(); ++i)
        became[i] = add(became[sub.nodes[i].parent], sub.name(uint32_t(i)), sub.nodes[i].flags & ~IndexNode::ascii);
    return became;
}

void IndexSegment::appendTail(const IndexSegment& from, size_t nodeCount, size_t nameBytes) {
    nodes.insert(nodes.end(), from.nodes.begin() + qsizetype(nodeCount), from.nodes.end());
    names.append(from.names, nameBytes);
    lowered.append(from.lowered, nameBytes);
}

} // namespace tarn
