#include "quickopen/IndexSearch.h"

#include "model/Entry.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <thread>

namespace tarn {

namespace {

// The lowered names of the folders above a segment's root, from the top down.
std::vector<std::string> foldersAbove(const IndexSegment& segment) {
    std::vector<std::string> names;
    const QByteArray parent = segment.root.left(std::max<qsizetype>(0, segment.root.lastIndexOf('/')));
    for (const QByteArray& part : parent.toLower().split('/'))
        if (!part.isEmpty()) names.push_back(part.toStdString());
    return names;
}

// Best score first, then the shorter path, then by name and path (not in the order the disk
// listed them).
bool better(const std::vector<const IndexSegment*>& segments, const IndexSearch::Hit& a, const IndexSearch::Hit& b) {
    if (a.score != b.score) return a.score > b.score;
    if (a.pathLength != b.pathLength) return a.pathLength < b.pathLength;
    const std::string_view nameA = segments[a.segment]->name(a.node), nameB = segments[b.segment]->name(b.node);
    if (nameA != nameB) return nameA < nameB;
    return segments[a.segment]->path(a.node) < segments[b.segment]->path(b.node);
}

} // namespace

std::optional<int> IndexSearch::scoreOf(const IndexSegment& segment, uint32_t node, const PathQuery& query,
                                        const std::vector<std::string_view>& above, FolderMemo& memo) {
    const IndexNode& item = segment.nodes[node];
    if (item.is(IndexNode::removed)) return std::nullopt;
    if (query.firstLetter() && item.is(IndexNode::ascii) && !std::memchr(segment.lowered.data() + item.name, query.firstLetter(), item.length))
        return std::nullopt;
    const std::optional<int> score =
        item.is(IndexNode::ascii) ? Fuzzy::scoreLowered(query.nameWord(), segment.loweredName(node))
                                  : Fuzzy::score(query.nameWord().text(), QFile::decodeName(QByteArray(segment.name(node).data(), item.length)));
    if (!score || !query.hasFolderWords()) return score;
    if (memo.segment != &segment || memo.parent != item.parent) {
        std::vector<std::string_view> folders = above;
        const size_t top = folders.size();
        for (uint32_t at = item.parent; at != IndexNode::none; at = segment.nodes[at].parent)
            folders.push_back(segment.loweredName(at));
        std::reverse(folders.begin() + qsizetype(top), folders.end());
        memo = {&segment, item.parent, query.inFolders(folders)};
    }
    return memo.holds ? score : std::nullopt;
}

std::vector<IndexSearch::Hit> IndexSearch::search(const std::vector<const IndexSegment*>& segments, quint64 version,
                                                  const PathQuery& query, size_t limit) {
    const bool narrowing = lastQuery && version == lastVersion && segments == lastSegments && lastQuery->narrowedBy(query);
    std::vector<std::vector<std::string>> aboveNames;
    std::vector<std::vector<std::string_view>> above;
    for (const IndexSegment* segment : segments) aboveNames.push_back(foldersAbove(*segment));
    for (const auto& names : aboveNames) above.emplace_back(names.begin(), names.end());

    if (query.nameWord().text().isEmpty()) {
        matches.clear();
        lastQuery.reset();
        return {};
    }
    // What the last query matched, or every item; scored in two halves at once.
    std::vector<Hit> candidates;
    if (narrowing) candidates = std::move(matches);
    // Half `part` (0 or 1) of the candidates.
    const auto scoreHalf = [&](int part, std::vector<Hit>& found) {
        FolderMemo memo;
        const auto consider = [&](uint32_t s, uint32_t node) {
            if (const std::optional<int> score = scoreOf(*segments[s], node, query, above[s], memo))
                found.push_back({s, node, *score, segments[s]->nodes[node].pathLength});
        };
        if (narrowing) {
            const size_t half = candidates.size() / 2;
            for (size_t i = part ? half : 0; i < (part ? candidates.size() : half); ++i)
                consider(candidates[i].segment, candidates[i].node);
            return;
        }
        for (uint32_t s = 0; s < segments.size(); ++s) {
            const uint32_t size = uint32_t(segments[s]->nodes.size()), half = size / 2;
            for (uint32_t node = part ? std::max(half, 1u) : 1; node < (part ? size : half); ++node) consider(s, node);
        }
    };
    size_t total = candidates.size();
    for (const IndexSegment* segment : segments) total += narrowing ? 0 : segment->nodes.size();
    std::vector<Hit> found, secondHalf;
    if (total < 50000) {
        scoreHalf(0, found);
        scoreHalf(1, found);
    } else {
        std::thread second(scoreHalf, 1, std::ref(secondHalf));
        scoreHalf(0, found);
        second.join();
        found.insert(found.end(), secondHalf.begin(), secondHalf.end());
    }
    // The order of what is kept for narrowing does not matter: sorted in place, not copied.
    const size_t count = std::min(limit, found.size());
    std::partial_sort(found.begin(), found.begin() + qsizetype(count), found.end(),
                      [&](const Hit& a, const Hit& b) { return better(segments, a, b); });
    std::vector<Hit> best(found.begin(), found.begin() + qsizetype(count));
    matches = std::move(found);
    lastQuery = query;
    lastVersion = version;
    lastSegments = segments;
    return best;
}

QOEntry IndexSearch::entryOf(const IndexSegment& segment, uint32_t node) {
    const QByteArray path = segment.path(node);
    const IndexNode& item = segment.nodes[node];
    Entry entry;
    entry.url = fileURL(path);
    entry.title = QFile::decodeName(QByteArray(segment.name(node).data(), item.length));
    QString kind = QStringLiteral("File");
    if (item.is(IndexNode::directory)) {
        entry.kind = item.is(IndexNode::repository) ? EntryKind::repo : EntryKind::folder;
        kind = item.is(IndexNode::repository) ? QStringLiteral("Repository") : QStringLiteral("Folder");
    } else if (Entry::isWorkspaceFile(entry.title)) {
        entry.kind = EntryKind::workspace;
        entry.title = QFileInfo(entry.title).completeBaseName();
        kind = QStringLiteral("Workspace");
    }
    const qsizetype slash = path.lastIndexOf('/');
    return {entry, kind + QStringLiteral(" \u00B7 ") + tildePath(fileURL(path.left(std::max<qsizetype>(slash, 1))))};
}

} // namespace tarn
