#pragma once

#include <QObject>
#include <QPoint>

#include <memory>

class QMenu;
class QWidget;

namespace tarn {

// A menu popped up outside any window of Tarn's: the menu of `tarn --menu`, of its hotkey and of
// a tray that lets Tarn draw its own. On X11 it is an ordinary pop-up menu.
//
// On Wayland a pop-up needs a parent window and a click or key of that window to grab with, and a
// menu opened by a key pressed elsewhere has neither: the menu is a frameless window of fixed size
// (compositors float it) that closes when Tarn loses the focus for longer than a moment, and its
// submenus are pop-ups of their menu that take no grab, so they open beside their rows, on hover,
// as on X11. Where the compositor places every window itself (GNOME), the menu is such a pop-up
// too, in the middle of a transparent window that covers the screen and holds the focus.
class FloatingMenu : public QObject {
public:
    explicit FloatingMenu(QMenu& menu);
    ~FloatingMenu() override;

    // Pops the menu up with its top left corner at `where` (global), or where the compositor
    // alone decides.
    void popUp(QPoint where);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void floatOnWayland();
    bool isOurs(const QMenu& submenu) const;

    QMenu& menu;
    std::unique_ptr<QWidget> screenCover; // GNOME on Wayland only
};

} // namespace tarn
