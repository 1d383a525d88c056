#pragma once

#include "menu/MenuItems.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <optional>

namespace tarn {

class LazyMenu;

// Reads the listing of the folder a submenu browses, in the background: when the folder's item
// is highlighted (so that it is usually ready when the submenu opens) and at every opening. The
// submenu shows the last listing read, "Loading…" before the first, and is rebuilt in place
// when a newer one differs. A child of the submenu.
class FolderReader : public QObject {
    Q_OBJECT
public:
    // `known`: a listing already read, shown until the first read of the reader's own.
    FolderReader(const QUrl& folder, const FolderOptions& options, LazyMenu* menu,
                 const std::optional<MenuItems::Listing>& known = std::nullopt);

    // Starts a read unless one is running.
    void start();
    // The last listing read, if any.
    const std::optional<MenuItems::Listing>& latest() const { return read; }

private:
    void arrived(const MenuItems::Listing& listing);

    QUrl folder;
    FolderOptions options;
    QPointer<LazyMenu> menu;
    std::optional<MenuItems::Listing> read;
    bool reading = false;
};

} // namespace tarn
