#include "index/IndexWalker.h"

#include "platform/FileSystem.h"
#include "platform/FolderWatcher.h"

#include <QFile>

namespace tarn {

// The ignore rules in force in a folder: its own file's, then its parents' up to the top of
// the repository, then .git/info/exclude, then the user's excludes file.
struct IndexWalker::Chain {
    std::shared_ptr<const Chain> parent;
    IgnoreRules rules;

    static bool ignores(const Chain* chain, std::string_view path, std::string_view name, bool directory) {
        for (; chain; chain = chain->parent.get()) {
            const IgnoreRules::Verdict verdict = chain->rules.match(path, name, directory);
            if (verdict != IgnoreRules::Verdict::none) return verdict == IgnoreRules::Verdict::ignored;
        }
        return false;
    }
};

struct IndexWalker::Folder {
    uint32_t node;
    QByteArray path;
    std::shared_ptr<const Chain> chain;
    int top; // the length of the path of the repository's top, -1 outside repositories
    int depth;
};

namespace {

template <typename Chain>
std::shared_ptr<const Chain> withFile(std::shared_ptr<const Chain> chain, const QString& file, std::string_view base) {
    const std::optional<QByteArray> text = readRegularFileBytes(file, smallConfigLimit);
    if (!text || text->isEmpty()) return chain;
    auto next = std::make_shared<Chain>();
    next->parent = std::move(chain);
    next->rules = IgnoreRules(std::string_view(text->constData(), size_t(text->size())), base);
    return next;
}

// The rules every folder of the repository at `top` starts from.
template <typename Chain>
std::shared_ptr<const Chain> repositoryRules(const QByteArray& top) {
    std::shared_ptr<const Chain> chain;
    chain = withFile<Chain>(chain, IgnoreRules::userExcludesFile(), {});
    return withFile<Chain>(chain, QFile::decodeName(top + "/.git/info/exclude"), {});
}

std::string_view below(const QByteArray& path, int top) {
    return top < 0 || path.size() <= top ? std::string_view() : std::string_view(path.constData() + top + 1, size_t(path.size() - top - 1));
}

} // namespace

IndexWalker::IndexWalker(const QByteArray& root, Options options, FolderWatcher* watcher)
    : segment(root), options(options), watcher(watcher) {}

std::shared_ptr<const IndexWalker::Chain> IndexWalker::rulesAbove(const QByteArray& folder, int& top) {
    // The repository the folder is in, if any: its rules reach into the folder.
    top = -1;
    for (qsizetype slash = folder.lastIndexOf('/'); slash > 0 && top < 0; slash = folder.lastIndexOf('/', slash - 1))
        if (existsAt(folder.left(slash) + "/.git")) top = int(slash);
    if (top < 0) return nullptr;
    const QByteArray repository = folder.left(top);
    auto chain = repositoryRules<Chain>(repository);
    for (qsizetype slash = folder.indexOf('/', top + 1); slash > 0; slash = folder.indexOf('/', slash + 1)) {
        const QByteArray parent = folder.left(slash);
        chain = withFile<Chain>(chain, QFile::decodeName(parent + "/.gitignore"), below(parent, top));
    }
    return chain;
}

std::vector<IndexWalker::Item> IndexWalker::listWith(const QByteArray& path, std::shared_ptr<const Chain>& chain,
                                                     int& top, Options options, bool& repository) {
    std::vector<Item> items;
    bool hasIgnoreFile = false;
    repository = false;
    forEachInDirectory(path.constData(), [&](std::string_view name, DirectoryItem::Type type) {
        if (name == ".git") repository = true;
        else if (name == ".gitignore") hasIgnoreFile = type == DirectoryItem::Type::file;
        if (name == ".git" || type == DirectoryItem::Type::other || (!options.showHidden && name.front() == '.')) return;
        const uint8_t flags = type == DirectoryItem::Type::directory ? IndexNode::directory
                              : type == DirectoryItem::Type::link    ? IndexNode::link
                                                                     : 0;
        items.push_back({std::string(name), flags});
    });
    if (repository) {
        top = int(path.size());
        chain = repositoryRules<Chain>(path);
    }
    if (top >= 0 && hasIgnoreFile) chain = withFile<Chain>(chain, QFile::decodeName(path + "/.gitignore"), below(path, top));
    if (!chain) return items;
    std::string relative(below(path, top));
    const size_t prefix = relative.empty() ? 0 : relative.size() + 1;
    if (!relative.empty()) relative += '/';
    std::erase_if(items, [&](const Item& item) {
        relative.resize(prefix);
        relative += item.name;
        return Chain::ignores(chain.get(), relative, item.name, item.flags & IndexNode::directory);
    });
    return items;
}

std::vector<IndexWalker::Item> IndexWalker::list(const QByteArray& folder, Options options) {
    int top = -1;
    std::shared_ptr<const Chain> chain = rulesAbove(folder, top);
    bool repository = false;
    return listWith(folder, chain, top, options, repository);
}

void IndexWalker::read(const Folder& folder, std::vector<Folder>& pending) {
    std::shared_ptr<const Chain> chain = folder.chain;
    int top = folder.top;
    bool repository = false;
    const std::vector<Item> items = listWith(folder.path, chain, top, options, repository);
    if (repository) segment.nodes[folder.node].flags |= IndexNode::repository;
    for (const Item& item : items) {
        const uint32_t node = segment.add(folder.node, item.name, item.flags);
        if ((item.flags & IndexNode::directory) && folder.depth + 1 < options.depth)
            pending.push_back({node, folder.path + '/' + QByteArray::fromStdString(item.name), chain, top, folder.depth + 1});
    }
}

void IndexWalker::run(const Report& report, const std::atomic<bool>* cancelled) {
    int top = -1;
    std::vector<Folder> pending{{0, segment.root, rulesAbove(segment.root, top), top, 0}};
    size_t reportedNodes = 0, reportedNames = 0;
    auto publish = [&](bool finished) {
        report({segment, reportedNodes, reportedNames, std::move(watches), std::move(unwatched), finished});
        watches.clear();
        unwatched.clear();
        reportedNodes = segment.nodes.size();
        reportedNames = segment.names.size();
    };
    while (!pending.empty()) {
        if (cancelled && *cancelled) return;
        const Folder folder = std::move(pending.back());
        pending.pop_back();
        const int id = watcher ? watcher->watch(folder.path) : -1;
        if (id >= 0) watches.emplace_back(id, folder.node);
        else if (watcher) unwatched.push_back(folder.node);
        read(folder, pending);
        if (segment.nodes.size() - reportedNodes >= 16384) publish(false);
    }
    publish(true);
}

} // namespace tarn
