#pragma once

#include "index/IndexSegment.h"
#include "model/QOEntry.h"
#include "quickopen/PathQuery.h"

#include <QtGlobal>
#include <optional>
#include <vector>

namespace tarn {

// Finds a query in the file index: every item whose name the fuzzy matcher accepts (and whose
// folders hold the query's folder words), best first, then the shorter path, then by name. Keeps what
// the last query matched, so a letter typed at the end searches only among those.
class IndexSearch {
public:
    struct Hit {
        uint32_t segment;
        uint32_t node;
        int score;
        uint16_t pathLength;
    };

    // The best `limit` hits. `version` tells whether the segments changed since the last call.
    std::vector<Hit> search(const std::vector<const IndexSegment*>& segments, quint64 version, const PathQuery& query,
                            size_t limit);

    // The Quick Open row of a hit: its kind and name, and where it is.
    static QOEntry entryOf(const IndexSegment& segment, uint32_t node);

private:
    // Whether the last item's folders held the folder words: the items of a folder come one after
    // another, so its chain is read once, not once per item.
    struct FolderMemo {
        const IndexSegment* segment = nullptr;
        uint32_t parent = 0;
        bool holds = false;
    };
    static std::optional<int> scoreOf(const IndexSegment& segment, uint32_t node, const PathQuery& query,
                                      const std::vector<std::string_view>& above, FolderMemo& memo);

    std::optional<PathQuery> lastQuery;
    quint64 lastVersion = 0;
    std::vector<const IndexSegment*> lastSegments;
    std::vector<Hit> matches; // everything the last query matched
};

} // namespace tarn
