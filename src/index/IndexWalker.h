#pragma once

#include "index/IgnoreRules.h"
#include "index/IndexSegment.h"

#include <QByteArray>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tarn {

class FolderWatcher;

// Walks one folder into an IndexSegment, off the GUI thread, with the rules of `fd`: hidden
// items and what git ignores are left out (.gitignore at every level, .git/info/exclude, the
// user's excludes file; inside repositories only), .git is never entered, links are listed and
// never followed (so nothing outside the folder and no loop), sockets, pipes and devices are
// skipped. Each folder it indexes is watched.
class IndexWalker {
public:
    struct Options {
        bool showHidden = false;
        int depth = 1 << 30; // levels of folders read below the root: 1 reads the root only
    };
    // What the walk has found since the last report: the segment, where the news starts in
    // it, the watches of its new folders (watch number, node) and its folders left unwatched.
    struct Progress {
        const IndexSegment& segment;
        size_t nodesFrom = 0, namesFrom = 0;
        std::vector<std::pair<int, uint32_t>> watches;
        std::vector<uint32_t> unwatched;
        bool finished = false;
    };
    using Report = std::function<void(const Progress&)>;

    IndexWalker(const QByteArray& root, Options options, FolderWatcher* watcher);

    // Walks everything under the root, reporting every few thousand items and at the end;
    // stops early when `cancelled` becomes true.
    void run(const Report& report, const std::atomic<bool>* cancelled = nullptr);
    IndexSegment& result() { return segment; }

    // One item as a folder's listing gives it.
    struct Item {
        std::string name;
        uint8_t flags = 0;
    };
    // The items of one folder as the walk would index them (for reading a folder again).
    static std::vector<Item> list(const QByteArray& folder, Options options);

private:
    struct Chain;
    struct Folder;
    void read(const Folder& folder, std::vector<Folder>& pending);
    static std::shared_ptr<const Chain> rulesAbove(const QByteArray& folder, int& top);
    static std::vector<Item> listWith(const QByteArray& path, std::shared_ptr<const Chain>& chain, int& top,
                                      Options options, bool& repository);

    IndexSegment segment;
    Options options;
    FolderWatcher* watcher;
    std::vector<std::pair<int, uint32_t>> watches;
    std::vector<uint32_t> unwatched;
};

} // namespace tarn
