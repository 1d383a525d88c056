#include "model/Store.h"

#include "model/JsonReader.h"
#include "model/LocalizedCompare.h"
#include "platform/DefaultsDomain.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <algorithm>

namespace tarn {

namespace {

constexpr qsizetype historyLimit = 50;

// Swaps the element matching `isTarget` with its neighbour at `offset`; false when either is
// missing.
template <typename T, typename Predicate>
bool swapWithNeighbour(QList<T>& list, Predicate isTarget, int offset) {
    const auto found = std::find_if(list.begin(), list.end(), isTarget);
    if (found == list.end()) return false;
    const qsizetype i = found - list.begin();
    const qsizetype j = i + offset;
    if (j < 0 || j >= list.size()) return false;
    list.swapItemsAt(i, j);
    return true;
}

} // namespace

Store& Store::shared() {
    static Store* store = new Store;
    return *store;
}

DefaultsDomain& Store::defaults() const { return platform().defaults(); }

bool Store::boolean(const QString& key, bool fallback) const {
    return defaults().boolean(key).value_or(fallback);
}

template <typename T> QList<T> Store::load(const char* key) const {
    const std::optional<QByteArray> bytes = defaults().data(key);
    if (!bytes) return {};
    return decodeList<T>(*bytes).value_or(QList<T>{});
}

template <typename T> void Store::save(const char* key, const QList<T>& list) {
    atomically([&] {
        // A list that does not decode reads as empty; it must not vanish for good when the
        // empty list is changed and written back.
        const std::optional<QByteArray> stored = defaults().data(key);
        if (defaults().contains(key) && (!stored || !decodeList<T>(*stored)) && !defaults().backUp(key)) return;
        defaults().setData(key, encodeList(list));
    });
}

void Store::atomically(const std::function<void()>& body) { defaults().transaction(body); }

QList<PinnedFolder> Store::pinnedFolders() const { return load<PinnedFolder>(Keys::pinnedFolders); }
void Store::setPinnedFolders(const QList<PinnedFolder>& folders) {
    save(Keys::pinnedFolders, folders);
}
QList<Favorite> Store::favorites() const {
    const std::optional<QByteArray> bytes = defaults().data(Keys::favorites);
    if (!bytes) return {};
    if (*bytes != favoritesBytes) {
        decodedFavorites = decodeList<Favorite>(*bytes).value_or(QList<Favorite>{});
        favoritesBytes = *bytes;
        favoritesSorted = false;
    }
    return decodedFavorites;
}
QList<Favorite> Store::favoritesByTitle() const {
    const QList<Favorite> all = favorites();
    if (all.isEmpty()) return all;
    if (!favoritesSorted) {
        sortedFavorites = all;
        std::stable_sort(sortedFavorites.begin(), sortedFavorites.end(), [](const Favorite& a, const Favorite& b) {
            return localizedStandardLess(a.title, b.title);
        });
        favoritesSorted = true;
    }
    return sortedFavorites;
}
void Store::setFavorites(const QList<Favorite>& list) { save(Keys::favorites, list); }
QList<ShortcutFolder> Store::shortcutFolders() const {
    return load<ShortcutFolder>(Keys::shortcutFolders);
}
void Store::setShortcutFolders(const QList<ShortcutFolder>& folders) {
    save(Keys::shortcutFolders, folders);
}

namespace {
std::optional<QMap<QString, SectionMode>> decodeModes(const std::optional<QByteArray>& bytes) {
    if (!bytes) return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes);
    if (!document.isObject()) return std::nullopt;
    QMap<QString, SectionMode> modes;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::optional<SectionMode> mode = fromRawValue<SectionMode>(it.value().toString());
        if (!it.value().isString() || !mode) return std::nullopt;
        modes.insert(it.key(), *mode);
    }
    return modes;
}
} // namespace

QMap<QString, SectionMode> Store::shortcutFolderModes() const {
    return decodeModes(defaults().data(Keys::shortcutFolderModes)).value_or(QMap<QString, SectionMode>{});
}

void Store::setShortcutFolderModes(const QMap<QString, SectionMode>& modes) {
    QJsonObject object;
    for (auto it = modes.begin(); it != modes.end(); ++it) object.insert(it.key(), rawValue(*it));
    atomically([&] {
        if (defaults().contains(Keys::shortcutFolderModes) &&
            !decodeModes(defaults().data(Keys::shortcutFolderModes)) && !defaults().backUp(Keys::shortcutFolderModes))
            return;
        defaults().setData(Keys::shortcutFolderModes,
                           QJsonDocument(object).toJson(QJsonDocument::Compact));
    });
}

QList<FavoriteGroup> Store::groups() const {
    QList<FavoriteGroup> sorted = load<FavoriteGroup>(Keys::favoriteGroups);
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return localizedStandardLess(a.name, b.name);
    });
    return sorted;
}

void Store::setGroups(const QList<FavoriteGroup>& list) { save(Keys::favoriteGroups, list); }

QList<SectionConfig> Store::sections() const {
    QList<SectionConfig> effective;
    auto has = [&](SectionID id) {
        return std::any_of(effective.begin(), effective.end(),
                           [id](const SectionConfig& c) { return c.id == id; });
    };
    for (const SectionConfig& stored : load<SectionConfig>(Keys::sections))
        if (!has(stored.id)) effective << stored;
    for (SectionID id : allCases<SectionID>()) {
        if (has(id)) continue;
        effective << SectionConfig{id, id == SectionID::repositories ? SectionMode::submenu
                                                                     : SectionMode::inline_};
    }
    return effective;
}

std::optional<PinnedFolder> Store::pinnedFolder(const QUrl& containing) const {
    const QString p = standardizedFileURL(containing).toLocalFile();
    std::optional<PinnedFolder> best;
    for (const PinnedFolder& folder : pinnedFolders()) {
        const bool contains = p == folder.path || p.startsWith(folder.path + '/');
        if (contains && (!best || folder.path.size() > best->path.size())) best = folder;
    }
    return best;
}

std::optional<Favorite> Store::favorite(const Entry& entry) const {
    for (const Favorite& f : favorites())
        if (f.matches(entry)) return f;
    return std::nullopt;
}

void Store::addFolder(const QUrl& url) {
    atomically([&] {
        const QString p = standardizedFileURL(url).toLocalFile();
        QList<PinnedFolder> folders = pinnedFolders();
        for (const PinnedFolder& folder : folders)
            if (folder.path == p) return;
        PinnedFolder added;
        added.path = p;
        folders << added;
        std::stable_sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
            return localizedStandardLess(QFileInfo(a.path).fileName(), QFileInfo(b.path).fileName());
        });
        setPinnedFolders(folders);
    });
}

void Store::updateFolder(const QString& path, const std::function<void(PinnedFolder&)>& change) {
    atomically([&] {
        QList<PinnedFolder> folders = pinnedFolders();
        for (PinnedFolder& folder : folders) {
            if (folder.path != path) continue;
            change(folder);
            setPinnedFolders(folders);
            return;
        }
    });
}

void Store::removeFolder(const QString& path) {
    atomically([&] {
        QList<PinnedFolder> folders = pinnedFolders();
        folders.removeIf([&](const PinnedFolder& f) { return f.path == path; });
        setPinnedFolders(folders);
    });
}

void Store::addFavorite(const Entry& entry, const std::optional<QString>& group) {
    atomically([&] {
        QList<Favorite> list = favorites();
        auto existing = std::find_if(list.begin(), list.end(),
                                     [&](const Favorite& f) { return f.matches(entry); });
        if (existing != list.end()) {
            existing->group = group;
        } else {
            const auto kind = entry.kind == EntryKind::link ? Favorite::Kind::link : Favorite::Kind::path;
            list << Favorite{kind, favoriteValue(entry), entry.title, group};
        }
        setFavorites(list);
        if (group) addGroup(*group);
    });
}

void Store::removeFavorite(const Entry& entry) {
    atomically([&] {
        QList<Favorite> list = favorites();
        list.removeIf([&](const Favorite& f) { return f.matches(entry); });
        setFavorites(list);
    });
}

void Store::addLink(const QString& title, const QString& url, const std::optional<QString>& group) {
    atomically([&] {
        QList<Favorite> list = favorites();
        list << Favorite{Favorite::Kind::link, url, title, group};
        setFavorites(list);
        if (group) addGroup(*group);
    });
}

void Store::addGroup(const QString& name) {
    atomically([&] {
        QList<FavoriteGroup> list = groups();
        for (const FavoriteGroup& g : list)
            if (g.name == name) return;
        list << FavoriteGroup{name, false};
        setGroups(list);
    });
}

void Store::setGroupAsSection(const QString& name, bool flag) {
    atomically([&] {
        QList<FavoriteGroup> list = groups();
        for (FavoriteGroup& g : list)
            if (g.name == name) g.asSection = flag;
        setGroups(list);
    });
}

void Store::renameGroup(const QString& oldName, const QString& newName) {
    atomically([&] {
        QList<FavoriteGroup> list = groups();
        for (FavoriteGroup& g : list)
            if (g.name == oldName) g.name = newName;
        setGroups(list);
        QList<Favorite> favs = favorites();
        for (Favorite& f : favs)
            if (f.group == oldName) f.group = newName;
        setFavorites(favs);
    });
}

void Store::deleteGroup(const QString& name) {
    atomically([&] {
        QList<FavoriteGroup> list = groups();
        list.removeIf([&](const FavoriteGroup& g) { return g.name == name; });
        setGroups(list);
        QList<Favorite> favs = favorites();
        for (Favorite& f : favs)
            if (f.group == name) f.group.reset();
        setFavorites(favs);
    });
}

void Store::setMode(SectionMode mode, SectionID id) {
    atomically([&] {
        QList<SectionConfig> list = sections();
        for (SectionConfig& c : list)
            if (c.id == id) c.mode = mode;
        save(Keys::sections, list);
    });
}

void Store::moveSection(SectionID id, int offset) {
    atomically([&] {
        QList<SectionConfig> list = sections();
        if (swapWithNeighbour(list, [id](const SectionConfig& c) { return c.id == id; }, offset))
            save(Keys::sections, list);
    });
}

void Store::moveShortcutFolder(const QUuid& id, int offset) {
    atomically([&] {
        QList<ShortcutFolder> list = shortcutFolders();
        if (swapWithNeighbour(list, [&id](const ShortcutFolder& f) { return f.id == id; }, offset))
            setShortcutFolders(list);
    });
}

void Store::deleteShortcutFolder(const QUuid& id) {
    atomically([&] {
        QList<ShortcutFolder> list = shortcutFolders();
        list.removeIf([&](const ShortcutFolder& f) { return f.id == id; });
        setShortcutFolders(list);
    });
}

void Store::recordHistory(const QUrl& url) {
    atomically([&] {
        if (!url.isLocalFile()) return;
        const QString path = standardizedFileURL(url).toLocalFile();
        QStringList history = defaults().stringArray(Keys::history).value_or(QStringList{});
        history.removeAll(path);
        history.prepend(path);
        if (history.size() > historyLimit) history.resize(historyLimit);
        if (defaults().contains(Keys::history) && !defaults().stringArray(Keys::history) && !defaults().backUp(Keys::history))
            return;
        defaults().setStringArray(Keys::history, history);
    });
}

} // namespace tarn
