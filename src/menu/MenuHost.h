#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace tarn {

class MenuController;

// What the menus ask of the application that shows them: the preview window, the hotkeys, the
// tray icon and the Quick Open panel live above the menu, and reach it only through this. The
// application delegate is the host; it registers itself for its lifetime.
class MenuHost {
public:
    // The host while one exists; none in tests that build menus alone.
    static MenuHost* current();

    virtual void quickLook(const QList<QUrl>& urls) = 0;
    virtual void applyHotkeys(bool showErrors) = 0;
    virtual void setMenuBarIcon(const QString& id) = 0;
    virtual void showQuickOpen() = 0;
    virtual MenuController* controller() const = 0;

protected:
    MenuHost();
    virtual ~MenuHost();
    MenuHost(const MenuHost&) = delete;
    MenuHost& operator=(const MenuHost&) = delete;
};

} // namespace tarn
