#include "quickopen/QuickOpenModel.h"

#include "library/Library.h"
#include "git/GitStore.h"
#include "index/FileIndex.h"
#include "platform/FileSystem.h"
#include "quickopen/PathQuery.h"

#include <algorithm>

namespace tarn {

namespace {
// Tabs and every Unicode space (no-break, ideographic, …); a line break typed into the field
// stays part of the query.
QString trimmedHorizontally(const QString& text) {
    auto blank = [](QChar c) { return c == '\t' || c.category() == QChar::Separator_Space; };
    qsizetype begin = 0, end = text.size();
    while (begin < end && blank(text[begin])) ++begin;
    while (end > begin && blank(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}
} // namespace

void QuickOpenModel::setQuery(const QString& query) {
    if (query == currentQuery) return;
    currentQuery = query;
    Q_EMIT queryChanged();
}

void QuickOpenModel::setAll(const QList<QOEntry>& entries) {
    catalogue = entries;
    titles.clear();
    details.clear();
    paths.clear();
    pathBytes.clear();
    titles.reserve(entries.size());
    details.reserve(entries.size());
    for (const QOEntry& entry : entries) {
        titles << Fuzzy::Prepared(entry.entry.title);
        details << entry.detail.toLower();
        paths << (entry.entry.url.isLocalFile() ? entry.entry.url.toLocalFile() : QString());
        if (entry.entry.url.isLocalFile()) pathBytes << localPath(entry.entry.url);
    }
    Q_EMIT allChanged();
}

void QuickOpenModel::setSelection(int row) {
    if (row == selectedRow) return;
    selectedRow = row;
    Q_EMIT selectionChanged();
}

void QuickOpenModel::setGitVersion(qint64 version) {
    if (version == git) return;
    git = version;
    Q_EMIT gitVersionChanged();
}

void QuickOpenModel::setFocusToken(qint64 token) {
    if (token == focus) return;
    focus = token;
    Q_EMIT focusTokenChanged();
}

void QuickOpenModel::recompute() {
    const QString trimmed = trimmedHorizontally(currentQuery);
    QList<QOEntry> next;
    if (trimmed.isEmpty()) {
        next = catalogue.mid(0, maxResults);
    } else {
        struct Scored {
            int score;
            qsizetype index;
        };
        const Fuzzy::Prepared query(trimmed);
        const PathQuery pathQuery(trimmed);
        const QString lowered = trimmed.toLower();
        QList<Scored> scored;
        for (qsizetype i = 0; i < catalogue.size(); ++i) {
            std::optional<int> s = Fuzzy::score(query, titles[i]);
            if (pathQuery.hasFolderWords() && !paths[i].isEmpty())
                if (const std::optional<int> byPath = pathQuery.score(catalogue[i].entry.title, paths[i]))
                    s = std::max(s.value_or(0), *byPath);
            if (s) scored.append({*s, i});
            else if (details[i].contains(lowered)) scored.append({detailScore, i});
        }
        std::stable_sort(scored.begin(), scored.end(), [](const Scored& a, const Scored& b) {
            return a.score != b.score ? a.score > b.score : a.index < b.index;
        });
        for (qsizetype k = 0; k < std::min<qsizetype>(scored.size(), maxResults); ++k)
            next << catalogue[scored[k].index];
        if (fileIndex && next.size() < maxResults) addIndexItems(pathQuery, next);
    }
    ranked = next;
    Q_EMIT resultsChanged();
    setSelection(0);
}

void QuickOpenModel::addIndexItems(const PathQuery& query, QList<QOEntry>& rows) {
    const std::vector<const IndexSegment*> segments = fileIndex->segments();
    // A few more than the room left, for the items the catalogue already lists.
    const size_t room = size_t(maxResults - rows.size());
    const auto hits = indexSearch.search(segments, fileIndex->version(), query, room + size_t(pathBytes.size()));
    QSet<QByteArray> shown; // a folder pinned inside another is in both segments
    for (const IndexSearch::Hit& hit : hits) {
        if (rows.size() >= maxResults) break;
        const IndexSegment& segment = *segments[hit.segment];
        const QByteArray path = segment.path(hit.node);
        if (pathBytes.contains(path) || shown.contains(path)) continue;
        shown << path;
        rows << IndexSearch::entryOf(segment, hit.node);
    }
}

std::optional<QOEntry> QuickOpenModel::selected() const {
    if (selectedRow < 0 || selectedRow >= ranked.size()) return std::nullopt;
    return ranked[selectedRow];
}

void QuickOpenModel::move(int step) {
    if (ranked.isEmpty()) return;
    const qsizetype target = std::max<qsizetype>(0, std::min<qsizetype>(selectedRow + step, ranked.size() - 1));
    setSelection(static_cast<int>(target));
}

QString QuickOpenModel::subtitle(const QOEntry& item) const {
    QStringList parts{item.detail};
    if (const std::optional<QString> repo = Library::shared().gitPath(item.entry))
        if (const std::optional<GitStatus> status = GitStore::shared().status(*repo)) parts << status->summary();
    parts.removeAll(QString());
    return parts.join(QStringLiteral("  \u00B7  "));
}

} // namespace tarn
