#pragma once

#include "menu/LazyMenu.h"

#include <QObject>
#include <memory>

#include <QList>

class QAction;
class QMenu;

namespace tarn {

class Store;

// Owns the tray menu. So far the menu holds the frame's "Quit Tarn" item; the sections arrive
// with the library.
class MenuController : public QObject {
    Q_OBJECT
public:
    MenuController();
    ~MenuController() override;

    QMenu* menu() const { return statusMenu.get(); }

    // Asks for folders to pin and pins each one chosen.
    void addFolder();

    void rebuild();

private:
    QList<QAction*> items();

    std::unique_ptr<LazyMenu> statusMenu;
    Store& store;
    bool addFolderShowing = false;
};

} // namespace tarn
