#pragma once

#include "quickopen/Fuzzy.h"
#include "quickopen/IndexSearch.h"
#include "model/QOEntry.h"

#include <QList>
#include <QSet>
#include <QObject>
#include <optional>

namespace tarn {

class FileIndex;

// The state of the Quick Open panel: the query, the catalogue, the ranked results (at most
// 100) and the selected row. Each property signals only when its value really changes
// (`all` and `results` always). Main thread only.
class QuickOpenModel : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype maxResults = 100;
    static constexpr int detailScore = 100; // a match in the detail text only

    const QString& query() const { return currentQuery; }
    void setQuery(const QString& query);
    const QList<QOEntry>& all() const { return catalogue; }
    void setAll(const QList<QOEntry>& entries);
    const QList<QOEntry>& results() const { return ranked; }
    int selection() const { return selectedRow; }
    void setSelection(int row);
    qint64 gitVersion() const { return git; }
    void setGitVersion(qint64 version);
    qint64 focusToken() const { return focus; }
    void setFocusToken(qint64 token);

    // The file index whose items follow the catalogue's in the results; none by default.
    void setIndex(const FileIndex* index) { fileIndex = index; }

    // Ranks the catalogue for the query (title score, else 100 for a detail match; for a query
    // of several words also the path's folders), then the file index's items not already in
    // the catalogue; keeps the first 100, and selects the first row.
    void recompute();
    // The selected result, if any.
    std::optional<QOEntry> selected() const;
    // Moves the selection by `step` rows, clamped at both ends.
    void move(int step);
    // The detail, then the git summary of the entry's repository when known.
    QString subtitle(const QOEntry& item) const;

Q_SIGNALS:
    void queryChanged();
    void allChanged();
    void resultsChanged();
    void selectionChanged();
    void gitVersionChanged();
    void focusTokenChanged();

private:
    void addIndexItems(const PathQuery& query, QList<QOEntry>& rows);

    QString currentQuery;
    QList<QOEntry> catalogue;
    // Lowered once per catalogue, not per keystroke.
    QList<Fuzzy::Prepared> titles;
    QList<QString> details;
    QList<QString> paths; // the catalogue's local paths, empty for other entries
    QSet<QByteArray> pathBytes;
    const FileIndex* fileIndex = nullptr;
    IndexSearch indexSearch;
    QList<QOEntry> ranked;
    int selectedRow = 0;
    qint64 git = 0;
    qint64 focus = 0;
};

} // namespace tarn
