#include "menu/MenuController.h"

#include "git/GitStore.h"
#include "menu/ActionItem.h"
#include "menu/LazyMenu.h"
#include "model/Store.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QMenu>

namespace tarn {

MenuController::MenuController()
    : statusMenu(std::make_unique<LazyMenu>(QStringLiteral("Tarn"), [this] { return items(); })),
      store(Store::shared()) {
    rebuild();
}

MenuController::~MenuController() = default;

// Rebuilt before every showing (the menu's own aboutToShow) and on demand.
void MenuController::rebuild() { statusMenu->rebuild(); }

QList<QAction*> MenuController::items() {
    GitStore::shared().compact();
    auto* quit = new ActionItem(QStringLiteral("Quit Tarn"), QStringLiteral("Ctrl+Q"),
                                [] { QApplication::quit(); });
    return {quit};
}

void MenuController::addFolder() {
    // One panel at a time: a second request while it is up only brings it forward.
    Dialogs& dialogs = platform().dialogs();
    dialogs.activate();
    if (addFolderShowing) return;
    addFolderShowing = true;
    const std::optional<QList<QUrl>> chosen = dialogs.openPanel(
        {QStringLiteral("Add Folders to Tarn"),
         QStringLiteral("Choose folders you want quick access to from the menu bar."),
         QStringLiteral("Choose"), true, true});
    addFolderShowing = false;
    if (!chosen) return;
    for (const QUrl& url : *chosen) store.addFolder(url);
}

} // namespace tarn
