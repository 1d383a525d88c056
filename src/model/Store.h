#pragma once

#include "model/Entry.h"
#include "model/Favorite.h"
#include "model/PinnedFolder.h"
#include "model/SectionConfig.h"
#include "model/ShortcutFolder.h"

#include <QMap>
#include <functional>

namespace tarn {

class DefaultsDomain;

// The names of every setting of the user-defaults domain.
namespace Keys {
inline constexpr char pinnedFolders[] = "pinnedFolders";
inline constexpr char favorites[] = "favorites";
inline constexpr char favoriteGroups[] = "favoriteGroups";
inline constexpr char shortcutFolders[] = "shortcutFolders";
inline constexpr char sections[] = "sections";
inline constexpr char shortcutFolderModes[] = "shortcutFolderModes";
inline constexpr char history[] = "history";
inline constexpr char menuBarIcon[] = "menuBarIcon";
inline constexpr char quickOpenHotkey[] = "quickOpenHotkey";
inline constexpr char menuHotkey[] = "menuHotkey";
inline constexpr char defaultEditorID[] = "defaultEditorID";
inline constexpr char terminalID[] = "terminalID";
inline constexpr char workspacesFolder[] = "workspacesFolder";
inline constexpr char showDownloads[] = "showDownloads";
inline constexpr char showScreenshots[] = "showScreenshots";
inline constexpr char showVolumes[] = "showVolumes";
inline constexpr char showGitStatus[] = "showGitStatus";
inline constexpr char showOpenWindows[] = "showOpenWindows";
inline constexpr char useCustomShortcuts[] = "useCustomShortcuts";
} // namespace Keys

// The one gateway to the settings. It caches nothing: every read goes to the defaults domain
// and every change is written at once. Called on the main thread.
class Store {
public:
    static Store& shared();

    DefaultsDomain& defaults() const;

    // The stored boolean under `key`, or `fallback` when it holds anything else.
    bool boolean(const QString& key, bool fallback) const;

    QList<PinnedFolder> pinnedFolders() const;
    void setPinnedFolders(const QList<PinnedFolder>& folders);
    QList<Favorite> favorites() const;
    // The same, in the order the menu shows them (by title, as the file manager orders names).
    QList<Favorite> favoritesByTitle() const;
    void setFavorites(const QList<Favorite>& favorites);
    QList<ShortcutFolder> shortcutFolders() const;
    void setShortcutFolders(const QList<ShortcutFolder>& folders);
    QMap<QString, SectionMode> shortcutFolderModes() const;
    void setShortcutFolderModes(const QMap<QString, SectionMode>& modes);
    // The stored groups, sorted by name.
    QList<FavoriteGroup> groups() const;
    void setGroups(const QList<FavoriteGroup>& groups);
    // All seven sections once each: the stored order first, then the missing ones.
    QList<SectionConfig> sections() const;

    // Lookups.
    std::optional<PinnedFolder> pinnedFolder(const QUrl& containing) const;
    std::optional<Favorite> favorite(const Entry& entry) const;

    // Changes.
    void addFolder(const QUrl& url);
    void updateFolder(const QString& path, const std::function<void(PinnedFolder&)>& change);
    void removeFolder(const QString& path);
    void addFavorite(const Entry& entry, const std::optional<QString>& group);
    void removeFavorite(const Entry& entry);
    void addLink(const QString& title, const QString& url, const std::optional<QString>& group);
    void addGroup(const QString& name);
    void setGroupAsSection(const QString& name, bool flag);
    void renameGroup(const QString& oldName, const QString& newName);
    void deleteGroup(const QString& name);
    void setMode(SectionMode mode, SectionID id);
    void moveSection(SectionID id, int offset);
    void moveShortcutFolder(const QUuid& id, int offset);
    void deleteShortcutFolder(const QUuid& id);
    void recordHistory(const QUrl& url);

private:
    Store() = default;

    // Favorites decoded from the stored bytes they came from: thousands of them take
    // milliseconds to decode, and they are read at every opening of the menu and the panel.
    mutable QByteArray favoritesBytes;
    mutable QList<Favorite> decodedFavorites;
    mutable QList<Favorite> sortedFavorites;
    mutable bool favoritesSorted = false;

    // One read-change-write step for this and every other process.
    void atomically(const std::function<void()>& body);
    template <typename T> QList<T> load(const char* key) const;
    template <typename T> void save(const char* key, const QList<T>& list);
};

} // namespace tarn
