#include "platform/FloatingMenu.h"

#include "platform/FloatingWindow.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace tarn {

namespace {

bool onWayland() { return QGuiApplication::platformName() == QLatin1String("wayland"); }

// Qt's Wayland plugin makes a window of this type an xdg pop-up placed beside its parent and
// taking no grab; the widget stays a Qt::Popup, so the menu behaves as a menu.
void makeUngrabbedPopup(QMenu& menu, QWidget& parent) {
    QWindow* window = menu.windowHandle();
    if (!window || !parent.windowHandle()) return;
    window->setTransientParent(parent.windowHandle());
    window->setFlags(Qt::ToolTip | Qt::FramelessWindowHint);
}

// The open menu whose row `submenu` is shown from.
QMenu* openParent(const QMenu& submenu) {
    for (QObject* holder : submenu.menuAction()->associatedObjects()) {
        auto* parent = qobject_cast<QMenu*>(holder);
        if (parent && parent->isVisible()) return parent;
    }
    return nullptr;
}
// Where a menu of `size` goes to be in the middle of `area`, its top never above it.
QPoint middle(const QRect& area, QSize size) {
    return {area.center().x() - size.width() / 2, std::max(area.top(), area.center().y() - size.height() / 2)};
}
} // namespace

FloatingMenu::FloatingMenu(QMenu& menu) : menu(menu) {
    if (!onWayland()) return;
    if (FloatingWindow::placedByCompositorAlone()) {
        screenCover = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
        screenCover->setAttribute(Qt::WA_TranslucentBackground);
        screenCover->setWindowTitle(QStringLiteral("Tarn"));
        connect(&menu, &QMenu::aboutToHide, screenCover.get(), &QWidget::hide);
    } else {
        connect(&menu, &QMenu::aboutToShow, this, &FloatingMenu::floatOnWayland);
    }
    // Only a loss that lasts closes the menu: the focus passes through no window at all when a
    // keyboard is added or goes.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) return;
        QTimer::singleShot(FloatingWindow::focusLossGrace(), this, [this] {
            if (QGuiApplication::applicationState() != Qt::ApplicationActive && this->menu.isVisible())
                this->menu.close();
        });
    });
    // A submenu's window is made just before it is shown, each time.
    qApp->installEventFilter(this);
}

FloatingMenu::~FloatingMenu() = default;

void FloatingMenu::popUp(QPoint where) {
    if (!onWayland()) {
        menu.popup(where);
        return;
    }
    // The pointer's place is unknown until it moves over a window of Tarn's, and compositors
    // centre a floating window: the menu goes in the middle of the screen, where Qt then thinks it
    // is too, so its submenus open to the side with room.
    const QScreen* screen = QGuiApplication::screenAt(where) ? QGuiApplication::screenAt(where) : QGuiApplication::primaryScreen();
    if (!screen) return;
    if (!screenCover) {
        menu.popup(middle(screen->availableGeometry(), menu.sizeHint()));
        return;
    }
    // At the size the cover will have once maximized.
    screenCover->resize(screen->availableGeometry().size());
    screenCover->showMaximized();
    screenCover->raise();
    screenCover->activateWindow();
    menu.popup(middle(QRect(screenCover->mapToGlobal(QPoint()), screenCover->size()), menu.sizeHint()));
}

void FloatingMenu::floatOnWayland() {
    menu.setFixedSize(menu.sizeHint());
    menu.setWindowFlag(Qt::FramelessWindowHint); // no title bar: it is still a menu
}

bool FloatingMenu::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show) return false;
    auto* shown = qobject_cast<QMenu*>(watched);
    if (!shown || !shown->isWindow()) return false;
    if (shown == &menu) {
        if (screenCover) makeUngrabbedPopup(menu, *screenCover);
    } else if (isOurs(*shown)) {
        makeUngrabbedPopup(*shown, *openParent(*shown));
    }
    return false;
}

bool FloatingMenu::isOurs(const QMenu& submenu) const {
    for (const QMenu* parent = openParent(submenu); parent; parent = openParent(*parent))
        if (parent == &menu) return true;
    return false;
}

} // namespace tarn
