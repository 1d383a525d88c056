#pragma once

#include "index/IndexSegment.h"
#include "index/IndexWalker.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarn {

class FolderWatcher;

// A folder the index holds, and how it is read.
struct IndexRoot {
    QByteArray path;
    IndexWalker::Options options;

    bool operator==(const IndexRoot& other) const {
        return path == other.path && options.showHidden == other.options.showHidden && options.depth == other.options.depth;
    }
};

// Every file and folder under the pinned folders (and the top of Downloads and Screenshots),
// for Quick Open. Walked in the background, shown as it grows, and kept live: a folder whose
// names change is read again within a fraction of a second. Where the system allows no more
// watches it says so once, and the folders left unwatched are read again whenever Quick Open
// opens. One shared instance; used on the GUI thread only.
class FileIndex : public QObject {
    Q_OBJECT
public:
    static FileIndex& shared();
    explicit FileIndex(QObject* parent = nullptr);
    ~FileIndex() override;

    // The folders to hold: new ones are walked, gone ones dropped, changed ones walked again;
    // the others are left as they are.
    void setRoots(const QList<IndexRoot>& roots);
    // The segments to search, one per root, in the roots' order.
    std::vector<const IndexSegment*> segments() const;
    // Whether a walk is still going (its items arrive as it goes).
    bool isIndexing() const;
    size_t fileCount() const;
    size_t folderCount() const;
    // Raised on every change of what the segments hold.
    quint64 version() const { return changes; }
    // Reads again the folders left unwatched (Quick Open calls it as it opens).
    void readUnwatched();
    FolderWatcher& watcher() { return *folders; }
    // Whether folders are left unwatched (missing ones among them).
    bool someUnwatched() const;
    // Whether the system's limit on watches (or the watcher's own) left folders unwatched.
    bool watchLimitReached() const;

Q_SIGNALS:
    void changed();

private:
    struct Root;
    struct Reading;
    struct Tail;
    void walk(const std::shared_ptr<Root>& root);
    void takeTail(Root& root, Tail& tail);
    void foldersChanged(const QList<int>& ids);
    void readChanged();
    void readAgain(const std::shared_ptr<Root>& root);
    void applyReading(Root& root, Reading& reading);
    // Ends the watches of `watches` that no root holds any more.
    void unwatchUnused(const std::vector<int>& watches);
    void noteLimit();
    void bump();

    std::shared_ptr<FolderWatcher> folders;
    std::vector<std::shared_ptr<Root>> roots;
    // Watches reported changed before the walk that made them said which folder they are.
    std::unordered_set<int> unknownChanged;
    QTimer changedSoon;
    quint64 changes = 0;
    bool limitSaid = false;
};

} // namespace tarn
