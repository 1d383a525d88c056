#include "platform/linux/PortalGlobalHotkeys.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QTimer>

namespace tarn {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
constexpr int portalTimeout = 2000;

// One shortcut as BindShortcuts takes it: (sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QString shortcutID(int id) { return QStringLiteral("tarn-%1").arg(id); }

QString keyName(int keyCode) {
    switch (keyCode) {
    case 49: return QStringLiteral("space");
    case 46: return QStringLiteral("m");
    case 31: return QStringLiteral("o");
    case 32: return QStringLiteral("u");
    default: return QString();
    }
}

} // namespace
} // namespace tarn

Q_DECLARE_METATYPE(tarn::PortalShortcut)

namespace tarn {

PortalGlobalHotkeys::PortalGlobalHotkeys(QDBusConnection bus) : bus(std::move(bus)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    answers = available(this->bus);
    if (answers && !this->bus.connect(portalService, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                                      SLOT(activated(QDBusMessage))))
        qWarning("tarn: global shortcuts from the desktop portal cannot be heard");
}

bool PortalGlobalHotkeys::available(const QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << shortcutsInterface << QStringLiteral("version");
    return bus.call(get, QDBus::Block, portalTimeout).type() == QDBusMessage::ReplyMessage;
}

QString PortalGlobalHotkeys::trigger(int keyCode, int carbonModifiers) {
    const QString key = keyName(keyCode);
    if (key.isEmpty()) return QString();
    QStringList parts;
    if (carbonModifiers & 0x1000) parts << QStringLiteral("CTRL");
    if (carbonModifiers & 0x800) parts << QStringLiteral("ALT");
    if (carbonModifiers & 0x200) parts << QStringLiteral("SHIFT");
    if (carbonModifiers & 0x100) parts << QStringLiteral("LOGO");
    return (parts << key).join('+');
}

bool PortalGlobalHotkeys::grab(int id, int keyCode, int carbonModifiers) {
    const QString preferred = trigger(keyCode, carbonModifiers);
    if (!answers || preferred.isEmpty()) return false;
    wanted.insert(id, {preferred, descriptions.value(id, shortcutID(id))});
    bindSoon();
    return true;
}

void PortalGlobalHotkeys::release(int id) {
    if (wanted.remove(id)) bindSoon();
}

void PortalGlobalHotkeys::describe(int id, const QString& description) {
    descriptions.insert(id, description);
    if (wanted.contains(id)) wanted[id].description = description;
}

void PortalGlobalHotkeys::bindSoon() {
    if (bindQueued) return;
    bindQueued = true;
    QTimer::singleShot(0, this, [this] {
        bindQueued = false;
        bind();
    });
}

// The object the portal will answer a request on; listened to before the request is sent,
// so that no answer can come first.
QString PortalGlobalHotkeys::requestPath(const QString& token) const {
    QString sender = bus.baseService().mid(1);
    sender.replace('.', '_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

QString PortalGlobalHotkeys::nextToken() { return QStringLiteral("tarn%1").arg(++tokens); }

void PortalGlobalHotkeys::bind() {
    if (session.isEmpty()) {
        if (creatingSession) return; // bound when the session is there
        creatingSession = true;
        const QString token = nextToken();
        bus.connect(portalService, requestPath(token), requestInterface, QStringLiteral("Response"), this,
                    SLOT(sessionCreated(uint, QVariantMap)));
        QDBusMessage create = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface,
                                                             QStringLiteral("CreateSession"));
        create << QVariantMap{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("session_handle_token"), QStringLiteral("tarn")}};
        bus.asyncCall(create, portalTimeout);
        return;
    }
    QList<PortalShortcut> shortcuts;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        shortcuts << PortalShortcut{shortcutID(it.key()),
                                    {{QStringLiteral("description"), it->description},
                                     {QStringLiteral("preferred_trigger"), it->trigger}}};
    const QString token = nextToken();
    bus.connect(portalService, requestPath(token), requestInterface, QStringLiteral("Response"), this,
                SLOT(bound(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface,
                                                       QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(shortcuts) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    // Unbounded: the desktop may ask the user to confirm the keys.
    bus.asyncCall(call, -1);
}

void PortalGlobalHotkeys::sessionCreated(uint response, const QVariantMap& results) {
    creatingSession = false;
    const QString handle = results.value(QStringLiteral("session_handle")).toString();
    if (response != 0 || handle.isEmpty()) {
        qWarning("tarn: the desktop portal refused a session for global shortcuts (%u)", response);
        return;
    }
    session = handle;
    bind();
}

void PortalGlobalHotkeys::bound(uint response, const QVariantMap&) {
    if (response != 0) qWarning("tarn: the desktop did not bind Tarn's global shortcuts (%u)", response);
}

void PortalGlobalHotkeys::activated(const QDBusMessage& signal) {
    const QVariantList arguments = signal.arguments();
    if (arguments.size() < 2 || !pressed) return;
    const QString from = qdbus_cast<QDBusObjectPath>(arguments.at(0)).path();
    const QString shortcut = arguments.at(1).toString();
    if (from != session) return;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        if (shortcutID(it.key()) == shortcut) pressed(it.key());
}

} // namespace tarn
