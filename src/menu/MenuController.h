#pragma once

#include "menu/LazyMenu.h"
#include "model/SectionConfig.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

class QAction;

namespace tarn {

class Library;
class Store;
struct ShortcutsSnapshot;

// Owns the tray menu: a frame ("Search…" at the top; "Add", "Settings" and "Quit Tarn" at the
// bottom) around the sections the user orders and shows inline, as submenus or not at all.
// Rebuilt from the Store and the Library before every showing and whenever the Library
// reports new results, also while the menu is open.
class MenuController : public QObject {
    Q_OBJECT
public:
    MenuController();
    ~MenuController() override;

    QMenu* menu() const { return statusMenu.get(); }

    // Replaces all items of the menu.
    void rebuild();

    // A section's title and symbol as a submenu, and its header when shown inline.
    struct SectionLook {
        QString title;
        QString symbol;
        std::optional<QString> header;
    };
    static SectionLook lookOf(SectionID id);

    // A section's header (when shown inline) and items.
    struct Section {
        std::optional<QString> header;
        QList<QAction*> items;
    };
    Section build(SectionID id);

    QList<QAction*> addItems();
    QList<QAction*> favoriteItems();
    QList<QAction*> recentItems();
    QList<QAction*> moreRecentItems();
    QList<QAction*> folderItems();
    QList<QAction*> quickAccessItems();
    QList<QAction*> mirroredShortcutItems(const ShortcutsSnapshot& snapshot);
    QList<QAction*> customShortcutItems(const ShortcutsSnapshot& snapshot);
    QList<QAction*> settingsItems();
    QList<QAction*> folderSettings(const QString& path);
    QList<QAction*> sectionSettings();
    QList<QAction*> quickAccessSettings();
    QList<QAction*> groupSettings();
    // The presets to choose from; where Tarn cannot bind keys, how the desktop binds `command`.
    static void setUpHotkeysIn(const QString& place);
    QList<QAction*> hotkeyChoices(const QString& current, const QString& command,
                                  const std::function<void(const QString&)>& set);
    void toggleLaunchAtLogin();

    // The shortcut folders (user folders, mirrored Shortcuts-app folders).
    QList<QAction*> shortcutSettings();
    QList<QAction*> shortcutFolderItems(const QUuid& id);
    void newShortcutFolder();
    void copyShortcutsAppFolders();
    QList<QAction*> mirrorFolderSettings();
    void chooseShortcuts(const QUuid& id);
    QList<QAction*> arrangeItems(const QUuid& id);

    // What the picker returns becomes the folder's list: the shortcuts kept in the order the
    // user arranged, then the newly ticked in catalogue order.
    static QStringList pickedOrder(const QStringList& selected, const QStringList& chosen);

    // Asks for folders to pin and pins each one chosen.
    void addFolder();
    // Asks for files and folders to make favorites.
    void addFavorites();
    // Asks for a link to add to the favorites.
    void addLink();
    // Asks for a group name; none when cancelled or empty.
    std::optional<QString> askGroupName(const QString& current);

private:
    QList<QAction*> items();
    static bool isListSection(SectionID id);
    bool hasItems(SectionID id);

    std::unique_ptr<LazyMenu> statusMenu;
    Store& store;
    Library& library;
    bool addFolderShowing = false;
};

} // namespace tarn
