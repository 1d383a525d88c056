#pragma once

class QByteArray;
class QWidget;

namespace tarn::FloatingWindow {

// Asks the window manager to keep `window` out of the taskbar and the pager and to show it on
// every desktop, as a panel that floats over whatever the user is doing. Call before every
// showing (window managers drop these when a window is hidden); nothing happens where the
// desktop has no such hints.
void prepare(QWidget& window);

// How long a loss of the focus must last before a floating window closes for it: on Wayland
// the focus passes through no window at all when a keyboard is added or goes, or on its way
// to a submenu; 0 on X11, where a loss is a loss.
int focusLossGrace();

// Whether the compositor places every new window itself (GNOME's Mutter first-fit from the top
// left corner, KDE's KWin where it overlaps least) and floats a maximized frameless one as it
// is, on Wayland: a panel that should be centred is then drawn in the middle of a maximized,
// transparent window.
bool placedByCompositorAlone();

// Whether `message`, a native event of one of the application's windows, brings that window
// the keyboard focus.
bool gainsFocus(const QByteArray& eventType, void* message);

// Sends what was asked of the display server so far (a window shown, say) now, instead of when
// the event loop next waits, without handling any event.
void sendNow();

} // namespace tarn::FloatingWindow
