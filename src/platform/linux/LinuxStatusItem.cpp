#include "platform/linux/LinuxStatusItem.h"

#include "platform/linux/DBusMenuExporter.h"
#include "platform/linux/StatusNotifierItem.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QGuiApplication>
#include <QSystemTrayIcon>

#include <cstdlib>
#include <utility>
#include <unistd.h>
#include <xcb/xcb.h>

namespace tarn {

namespace {
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
// A Shell starting up on a busy machine may take seconds to answer; nothing waits for it.
constexpr int watcherTimeout = 10000; // ms
constexpr int retryInterval = 2000;   // ms
constexpr int reRegisterDelay = 1000; // ms
constexpr qsizetype maxRegistrationsPerMinute = 5;

bool onWayland() { return QGuiApplication::platformName() == QLatin1String("wayland"); }
} // namespace

LinuxStatusItem::LinuxStatusItem()
    : service(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(::getpid())),
      watcherOwner(watcherService, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForOwnerChange) {
    connect(&watcherOwner, &QDBusServiceWatcher::serviceOwnerChanged, this, &LinuxStatusItem::watcherChanged);
    // A host that comes or goes changes nothing for a watcher that has the item already: GNOME
    // Shell's extension takes a second registration as a reset, which can lose the icon.
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(watcherService, watcherPath, watcherService, QLatin1String(signal), this, SLOT(askWatcher()));
    bus.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierItemUnregistered"), this,
                SLOT(itemDropped(QString)));
    // Run from a build tree, Tarn finds its own symbolic icon by name too.
    if (const QString built = StatusNotifierItem::builtIcons(); !built.isEmpty())
        QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << built);
    retry.setInterval(retryInterval);
    connect(&retry, &QTimer::timeout, this, &LinuxStatusItem::askWatcher);
}

LinuxStatusItem::~LinuxStatusItem() {
    if (exportedOnBus) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(service);
        bus.unregisterObject(QLatin1String(itemPath));
        bus.unregisterObject(QLatin1String(menuPath));
    }
}

void LinuxStatusItem::setIcon(const QIcon& themed, const QIcon& drawn) {
    themedIcon = themed;
    drawnIcon = drawn;
    if (item) item->setIcon(themed, drawn);
    if (xembed) xembed->setIcon(drawn);
}

void LinuxStatusItem::setToolTip(const QString& text) {
    tip = text;
    if (item) item->setToolTip(text);
    if (xembed) xembed->setToolTip(text);
}

void LinuxStatusItem::setMenu(const ExportedMenu& menu) { exported = menu; }

void LinuxStatusItem::show() {
    wanted = true;
    watcherChanged();
}

bool LinuxStatusItem::isShown() const { return registered || (xembed && xembed->isVisible()); }

QRect LinuxStatusItem::geometry() const { return xembed ? xembed->geometry() : QRect(); }

void LinuxStatusItem::watcherChanged() {
    registered = false; // a new watcher knows nothing of the item
    ++watcherGeneration;
    askWatcher();
}

// Whether the watcher has a host, asked without waiting: the answer (or its absence) updates
// the item when it comes. While the icon is not shown, the retry asks again.
void LinuxStatusItem::askWatcher() {
    if (asking) {
        askAgain = true;
        return;
    }
    asking = true;
    QDBusMessage get = QDBusMessage::createMethodCall(watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* answer = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get, watcherTimeout), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answer) {
        answer->deleteLater();
        asking = false;
        const QDBusMessage reply = answer->reply();
        hostPresent = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                      reply.arguments().first().value<QDBusVariant>().variant().toBool();
        if (std::exchange(askAgain, false)) askWatcher();
        else update();
    });
}

// Shows the icon the trays running now can show.
void LinuxStatusItem::update() {
    if (!wanted) return;
    const bool wasShown = isShown();
    if (hostPresent) {
        showXEmbed(false);
        if (!registered && exportItem()) registerWithWatcher();
    } else {
        registered = false;
        showXEmbed(!onWayland() && xembedTrayPresent());
    }
    if (isShown()) retry.stop();
    else if (!retry.isActive()) retry.start();
    if (isShown() != wasShown && shownChanged) shownChanged();
}

// The item and its menu on the bus, once.
bool LinuxStatusItem::exportItem() {
    if (exportedOnBus) return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // On Wayland Tarn cannot place a menu of its own at the icon: a click shows the exported one.
    item = std::make_unique<StatusNotifierItem>(QLatin1String(menuPath), onWayland());
    item->setIcon(themedIcon, drawnIcon);
    item->setToolTip(tip);
    item->activated = [this](QPoint where) {
        if (activated) activated(where);
    };
    if (exported.menu) {
        exporter = std::make_unique<DBusMenuExporter>(exported);
        if (!exporter->exportOn(bus, QLatin1String(menuPath))) return false;
    }
    exportedOnBus = bus.registerObject(QLatin1String(itemPath), item.get(),
                                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                           QDBusConnection::ExportAllProperties) &&
                    bus.registerService(service);
    return exportedOnBus;
}

// The watcher dropped the item though Tarn still runs: GNOME's extension does when setting it
// up fails (a race of its own, seen on busy machines). A while later it is registered again,
// at most a few times a minute.
void LinuxStatusItem::itemDropped(const QString& id) {
    if (!registered || !id.startsWith(service)) return;
    registered = false;
    const auto now = std::chrono::steady_clock::now();
    while (!dropTimes.isEmpty() && now - dropTimes.first() > std::chrono::minutes(1)) dropTimes.removeFirst();
    dropTimes << now;
    if (shownChanged) shownChanged();
    if (dropTimes.size() > maxRegistrationsPerMinute) return;
    QTimer::singleShot(reRegisterDelay, this, &LinuxStatusItem::askWatcher);
}

// Registers without waiting; an answer for a watcher that has gone since counts for nothing.
void LinuxStatusItem::registerWithWatcher() {
    if (registering) return;
    registering = true;
    QDBusMessage call = QDBusMessage::createMethodCall(watcherService, watcherPath, watcherService,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << service;
    auto* answer = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, watcherTimeout), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, generation = watcherGeneration](QDBusPendingCallWatcher* answer) {
        answer->deleteLater();
        registering = false;
        if (generation != watcherGeneration) {
            update();
            return;
        }
        const bool wasShown = isShown();
        registered = !answer->isError();
        if (isShown()) retry.stop();
        if (isShown() != wasShown && shownChanged) shownChanged();
    });
}

void LinuxStatusItem::showXEmbed(bool shown) {
    if (!shown) {
        xembed.reset();
        return;
    }
    if (xembed) return;
    xembed = std::make_unique<QSystemTrayIcon>();
    xembed->setIcon(drawnIcon);
    xembed->setToolTip(tip);
    connect(xembed.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context) return;
        const QRect icon = xembed->geometry();
        if (activated) activated(icon.isValid() ? icon.bottomLeft() : QPoint());
    });
    xembed->show();
}

// An XEmbed tray owns the selection _NET_SYSTEM_TRAY_S<screen>.
bool LinuxStatusItem::xembedTrayPresent() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* x = x11 ? x11->connection() : nullptr;
    if (!x) return false;
    // The screen DISPLAY names (":0.1" is screen 1), as the tray's selection does.
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const int screen = dot > display.lastIndexOf(':') ? display.mid(dot + 1).toInt() : 0;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 1, quint16(name.size()), name.constData()), nullptr);
    if (!atom) return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE) return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(x, xcb_get_selection_owner(x, selection), nullptr);
    const bool present = owner && owner->owner != XCB_NONE;
    std::free(owner);
    return present;
}

} // namespace tarn
