#include "menu/MenuController.h"

#include "model/Store.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QMenu>

namespace tarn {

MenuController::MenuController() : statusMenu(std::make_unique<QMenu>()), store(Store::shared()) {
    connect(statusMenu.get(), &QMenu::aboutToShow, this, &MenuController::rebuild);
    rebuild();
}

MenuController::~MenuController() = default;

void MenuController::rebuild() {
    statusMenu->clear();
    QAction* quit = statusMenu->addAction(QStringLiteral("Quit Tarn"));
    quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);
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
