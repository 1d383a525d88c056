#include "index/FileIndex.h"

#include "discovery/BlockingPool.h"
#include "platform/FolderWatcher.h"

#include <QPointer>
#include <cstdio>

namespace tarn {

struct FileIndex::Root {
    IndexRoot wanted;
    std::unique_ptr<IndexSegment> segment; // what searches see
    std::unique_ptr<IndexSegment> next;    // a walk again, shown when done
    std::unordered_map<int, uint32_t> folderOfWatch, nextWatches;
    std::unordered_set<uint32_t> unwatched, nextUnwatched;
    std::unordered_set<uint32_t> changed; // folders to read again
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
    int generation = 0;
    bool walking = false;
    bool reading = false;

    IndexSegment& growing() { return next ? *next : *segment; }
    std::unordered_map<int, uint32_t>& growingWatches() { return next ? nextWatches : folderOfWatch; }
};

// What a walk found since its last report, carried to the GUI thread.
struct FileIndex::Tail {
    int generation = 0;
    size_t nodesFrom = 0;
    std::vector<IndexNode> nodes;
    std::string names, lowered;
    std::vector<std::pair<int, uint32_t>> watches;
    std::vector<uint32_t> unwatched;
    bool finished = false;
    std::unique_ptr<IndexSegment> whole; // with the last one: everything the walk found
};

// Folders read again after their names changed: what went, and what came (folders with all
// they hold).
struct FileIndex::Reading {
    struct Folder {
        uint32_t node;
        QByteArray path;
        std::vector<std::pair<std::string, uint8_t>> had; // name, kind
        std::vector<uint32_t> hadNodes;
        std::vector<uint32_t> gone;
        std::vector<IndexWalker::Item> cameFiles;
        std::vector<std::unique_ptr<IndexWalker>> cameFolders;
        std::vector<std::vector<std::pair<int, uint32_t>>> cameWatches;
        std::vector<std::vector<uint32_t>> cameUnwatched;
    };
    int generation = 0;
    std::vector<Folder> folders;
};

namespace {
constexpr uint8_t kind = IndexNode::directory | IndexNode::link;
}

FileIndex& FileIndex::shared() {
    static FileIndex* index = new FileIndex; // lives as long as the process, as its walks may
    return *index;
}

FileIndex::FileIndex(QObject* parent) : QObject(parent), folders(std::make_shared<FolderWatcher>()) {
    changedSoon.setSingleShot(true);
    changedSoon.setInterval(30); // a burst of changes (an unpacked archive) read as one
    connect(&changedSoon, &QTimer::timeout, this, &FileIndex::readChanged);
    connect(folders.get(), &FolderWatcher::changed, this, &FileIndex::foldersChanged);
}

FileIndex::~FileIndex() {
    for (const auto& root : roots) *root->cancelled = true;
    folders->stop();
}

void FileIndex::setRoots(const QList<IndexRoot>& wanted) {
    std::vector<std::shared_ptr<Root>> kept;
    std::vector<int> dropped;
    for (const auto& root : roots) {
        if (wanted.contains(root->wanted)) {
            kept.push_back(root);
            continue;
        }
        *root->cancelled = true;
        for (const auto& [id, node] : root->folderOfWatch) dropped.push_back(id);
        for (const auto& [id, node] : root->nextWatches) dropped.push_back(id);
    }
    std::vector<std::shared_ptr<Root>> ordered;
    for (const IndexRoot& asked : wanted) {
        auto found = std::find_if(kept.begin(), kept.end(), [&](const auto& root) { return root->wanted == asked; });
        if (found != kept.end()) {
            ordered.push_back(*found);
            continue;
        }
        auto root = std::make_shared<Root>();
        root->wanted = asked;
        root->segment = std::make_unique<IndexSegment>(asked.path);
        ordered.push_back(root);
    }
    const bool same = ordered == roots;
    roots = std::move(ordered);
    unwatchUnused(dropped);
    for (const auto& root : roots)
        if (!root->walking && root->segment->nodes.size() == 1 && root->generation == 0) walk(root);
    if (!same) bump();
}

void FileIndex::walk(const std::shared_ptr<Root>& root) {
    *root->cancelled = true;
    root->cancelled = std::make_shared<std::atomic<bool>>(false);
    const int generation = ++root->generation;
    root->walking = true;
    if (root->segment->nodes.size() > 1) root->next = std::make_unique<IndexSegment>(root->wanted.path);
    root->nextWatches.clear();
    root->nextUnwatched.clear();
    root->changed.clear(); // the walk reads it all, and names folders by its own numbers
    QPointer<FileIndex> self(this);
    std::weak_ptr<Root> weak = root;
    runInBackground(TaskPriority::utility, [self, weak, asked = root->wanted, watcher = folders, generation,
                                            cancelled = root->cancelled] {
        IndexWalker walker(asked.path, asked.options, watcher.get());
        const auto send = [&](const std::shared_ptr<Tail>& tail) {
            runOnMainThread([self, weak, tail] {
                const auto root = weak.lock();
                if (self && root) self->takeTail(*root, *tail);
            });
        };
        auto last = std::make_shared<Tail>();
        walker.run(
            [&](const IndexWalker::Progress& progress) {
                auto tail = progress.finished ? last : std::make_shared<Tail>();
                tail->generation = generation;
                tail->watches = progress.watches;
                tail->unwatched = progress.unwatched;
                tail->finished = progress.finished;
                if (progress.finished) return; // the whole segment goes with it, below
                tail->nodesFrom = progress.nodesFrom;
                tail->nodes.assign(progress.segment.nodes.begin() + qsizetype(progress.nodesFrom), progress.segment.nodes.end());
                tail->names = progress.segment.names.substr(progress.namesFrom);
                tail->lowered = progress.segment.lowered.substr(progress.namesFrom);
                send(tail);
            },
            cancelled.get());
        if (!last->finished) return;
        // The copy grown from the tails has the slack of every growth: the walk's own segment,
        // made exactly as large as it is, replaces it (the same items, numbered alike).
        IndexSegment& whole = walker.result();
        whole.nodes.shrink_to_fit();
        whole.names.shrink_to_fit();
        whole.lowered.shrink_to_fit();
        last->whole = std::make_unique<IndexSegment>(std::move(whole));
        send(last);
    });
}

void FileIndex::takeTail(Root& root, Tail& tail) {
    if (tail.generation != root.generation) return;
    IndexSegment& segment = root.growing();
    if (tail.whole) {
        segment = std::move(*tail.whole);
    } else {
        if (tail.nodesFrom == 0) { // the first report brings the root itself
            segment.nodes.clear();
            segment.names.clear();
            segment.lowered.clear();
        }
        segment.nodes.insert(segment.nodes.end(), tail.nodes.begin(), tail.nodes.end());
        segment.names += tail.names;
        segment.lowered += tail.lowered;
    }
    auto& watches = root.growingWatches();
    for (const auto& [id, node] : tail.watches) {
        watches[id] = node;
        if (unknownChanged.erase(id)) root.changed.insert(node);
    }
    (root.next ? root.nextUnwatched : root.unwatched).insert(tail.unwatched.begin(), tail.unwatched.end());
    if (!tail.unwatched.empty()) noteLimit();
    if (tail.finished) {
        root.walking = false;
        if (root.next) {
            std::vector<int> old;
            for (const auto& [id, node] : root.folderOfWatch)
                if (!root.nextWatches.count(id)) old.push_back(id);
            root.segment = std::move(root.next);
            root.folderOfWatch = std::move(root.nextWatches);
            root.unwatched = std::move(root.nextUnwatched);
            root.nextWatches.clear();
            root.nextUnwatched.clear();
            unwatchUnused(old);
        }
        if (!root.changed.empty()) changedSoon.start();
        // With no walk left, a watch still unknown belongs to no root any more.
        if (std::none_of(roots.begin(), roots.end(), [](const auto& other) { return other->walking; })) unknownChanged.clear();
    }
    bump();
}

void FileIndex::foldersChanged(const QList<int>& ids) {
    if (ids.contains(-1)) { // the kernel lost track: read everything again
        for (const auto& root : roots) walk(root);
        return;
    }
    for (const int id : ids) {
        bool known = false;
        for (const auto& root : roots) {
            const auto& watches = root->growingWatches();
            if (const auto found = watches.find(id); found != watches.end()) {
                root->changed.insert(found->second);
                known = true;
            }
        }
        if (!known) unknownChanged.insert(id);
    }
    changedSoon.start();
}

void FileIndex::readChanged() {
    for (const auto& root : roots)
        if (!root->walking && !root->reading && !root->changed.empty()) readAgain(root);
}

void FileIndex::readUnwatched() {
    for (const auto& root : roots) root->changed.insert(root->unwatched.begin(), root->unwatched.end());
    readChanged();
}

void FileIndex::readAgain(const std::shared_ptr<Root>& root) {
    const IndexSegment& segment = *root->segment;
    std::unordered_set<uint32_t> changed;
    for (const uint32_t node : root->changed)
        if (node < segment.nodes.size() && !segment.nodes[node].is(IndexNode::removed)) changed.insert(node);
    root->changed.clear();
    if (changed.empty()) return;
    auto reading = std::make_shared<Reading>();
    reading->generation = root->generation;
    for (auto& [folder, children] : segment.children(changed)) {
        Reading::Folder read{folder, segment.path(folder), {}, std::move(children), {}, {}, {}, {}, {}};
        for (const uint32_t child : read.hadNodes)
            read.had.emplace_back(std::string(segment.name(child)), segment.nodes[child].flags & kind);
        reading->folders.push_back(std::move(read));
    }
    root->reading = true;
    QPointer<FileIndex> self(this);
    std::weak_ptr<Root> weak = root;
    runInBackground(TaskPriority::utility, [self, weak, reading, options = root->wanted.options, watcher = folders] {
        for (Reading::Folder& folder : reading->folders) {
            const std::vector<IndexWalker::Item> items = IndexWalker::list(folder.path, options);
            std::unordered_map<std::string, uint8_t> now;
            for (const auto& item : items) now.emplace(item.name, item.flags & kind);
            std::unordered_set<std::string> had;
            for (size_t i = 0; i < folder.had.size(); ++i) {
                const auto found = now.find(folder.had[i].first);
                if (found == now.end() || found->second != folder.had[i].second) folder.gone.push_back(folder.hadNodes[i]);
                else had.insert(folder.had[i].first);
            }
            for (const auto& item : items) {
                if (had.count(item.name)) continue;
                if (!(item.flags & IndexNode::directory)) {
                    folder.cameFiles.push_back(item);
                    continue;
                }
                IndexWalker::Options below = options;
                below.depth = 1 << 30;
                auto walker = std::make_unique<IndexWalker>(folder.path + '/' + QByteArray::fromStdString(item.name), below,
                                                            watcher.get());
                std::vector<std::pair<int, uint32_t>> watches;
                std::vector<uint32_t> unwatched;
                walker->run([&](const IndexWalker::Progress& progress) {
                    watches.insert(watches.end(), progress.watches.begin(), progress.watches.end());
                    unwatched.insert(unwatched.end(), progress.unwatched.begin(), progress.unwatched.end());
                });
                folder.cameFolders.push_back(std::move(walker));
                folder.cameWatches.push_back(std::move(watches));
                folder.cameUnwatched.push_back(std::move(unwatched));
            }
        }
        runOnMainThread([self, weak, reading] {
            const auto root = weak.lock();
            if (self && root) self->applyReading(*root, *reading);
        });
    });
}

void FileIndex::applyReading(Root& root, Reading& reading) {
    root.reading = false;
    if (reading.generation != root.generation || root.walking) {
        // Walked again meanwhile: the walk has seen it all; only the watches made here may go.
        for (const auto& folder : reading.folders)
            for (const auto& watches : folder.cameWatches)
                for (const auto& [id, node] : watches) unwatchUnused({id});
        return;
    }
    IndexSegment& segment = *root.segment;
    std::vector<uint32_t> gone;
    std::unordered_set<int> cameIds;
    for (const auto& folder : reading.folders) {
        gone.insert(gone.end(), folder.gone.begin(), folder.gone.end());
        for (const auto& watches : folder.cameWatches)
            for (const auto& [id, node] : watches) cameIds.insert(id);
    }
    segment.remove(gone);
    std::vector<int> old;
    for (auto watch = root.folderOfWatch.begin(); watch != root.folderOfWatch.end();) {
        if (!segment.nodes[watch->second].is(IndexNode::removed)) {
            ++watch;
            continue;
        }
        // A folder moved within the tree keeps its watch, now the new place's.
        if (!cameIds.count(watch->first)) old.push_back(watch->first);
        watch = root.folderOfWatch.erase(watch);
    }
    for (auto& folder : reading.folders) {
        for (const auto& item : folder.cameFiles) segment.add(folder.node, item.name, item.flags);
        for (size_t i = 0; i < folder.cameFolders.size(); ++i) {
            const IndexSegment& sub = folder.cameFolders[i]->result();
            const uint32_t at = segment.add(folder.node, sub.name(0), IndexNode::directory);
            const std::vector<uint32_t> became = segment.graft(at, sub);
            for (const auto& [id, node] : folder.cameWatches[i]) root.folderOfWatch[id] = became[node];
            for (const uint32_t node : folder.cameUnwatched[i]) root.unwatched.insert(became[node]);
            if (!folder.cameUnwatched[i].empty()) noteLimit();
        }
    }
    unwatchUnused(old);
    // Churn (a build's scratch files made and deleted) leaves removed items behind: once they
    // are the larger part, a walk again makes the segment as small as what is there.
    if (segment.removedCount > segment.nodes.size() / 2 + 1024) {
        for (const auto& shared : roots)
            if (shared.get() == &root) walk(shared);
    } else if (!root.changed.empty()) {
        changedSoon.start();
    }
    bump();
}

void FileIndex::unwatchUnused(const std::vector<int>& watches) {
    for (const int id : watches) {
        const bool held = std::any_of(roots.begin(), roots.end(), [&](const auto& root) {
            return root->folderOfWatch.count(id) || root->nextWatches.count(id);
        });
        if (!held) folders->unwatch(id);
    }
}

void FileIndex::noteLimit() {
    // A folder that went (or never was, as a Downloads folder not made) is not watched either.
    if (limitSaid || !folders->limitReached()) return;
    limitSaid = true;
    std::fprintf(stderr, "tarn: the system's limit on watched folders is reached; Quick Open reads the folders it "
                         "cannot watch again each time it opens (raise fs.inotify.max_user_watches to watch all)\n");
}

bool FileIndex::someUnwatched() const {
    return std::any_of(roots.begin(), roots.end(), [](const auto& root) { return !root->unwatched.empty(); });
}

bool FileIndex::watchLimitReached() const { return folders->limitReached() && someUnwatched(); }

std::vector<const IndexSegment*> FileIndex::segments() const {
    std::vector<const IndexSegment*> shown;
    for (const auto& root : roots) shown.push_back(root->segment.get());
    return shown;
}

bool FileIndex::isIndexing() const {
    return std::any_of(roots.begin(), roots.end(), [](const auto& root) { return root->walking && !root->next; });
}

size_t FileIndex::fileCount() const {
    size_t count = 0;
    for (const auto& root : roots)
        for (const IndexNode& node : root->segment->nodes) count += !node.is(IndexNode::directory) && !node.is(IndexNode::removed);
    return count;
}

size_t FileIndex::folderCount() const {
    size_t count = 0;
    for (const auto& root : roots)
        for (size_t i = 1; i < root->segment->nodes.size(); ++i)
            count += root->segment->nodes[i].is(IndexNode::directory) && !root->segment->nodes[i].is(IndexNode::removed);
    return count;
}

void FileIndex::bump() {
    ++changes;
    Q_EMIT changed();
}

} // namespace tarn
