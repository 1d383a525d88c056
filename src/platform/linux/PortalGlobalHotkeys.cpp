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


namespace tarn {

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

// Sends `method` with `arguments` and the options, a fresh handle token added; the portal
// answers on a request object, heard by `answer` (a slot taking (uint, QVariantMap)).
void PortalGlobalHotkeys::request(const QString& method, const QVariantList& arguments, QVariantMap options,
                                  const char* answer, int timeout) {
    const QString token = nextToken();
    bus.connect(portalService, requestPath(token), requestInterface, QStringLiteral("Response"), this, answer);
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
    call.setArguments(QVariantList(arguments) << options);
    bus.asyncCall(call, timeout);
}

void PortalGlobalHotkeys::bind() {
    if (session.isEmpty()) {
        if (creatingSession) return; // bound when the session is there
        creatingSession = true;
        request(QStringLiteral("CreateSession"), {}, {{QStringLiteral("session_handle_token"), QStringLiteral("tarn")}},
                SLOT(sessionCreated(uint, QVariantMap)), portalTimeout);
        return;
    }
    const QVariant sessionPath = QVariant::fromValue(QDBusObjectPath(session));
    if (!askedWhatIsHeld) {
        askedWhatIsHeld = true;
        request(QStringLiteral("ListShortcuts"), {sessionPath}, {}, SLOT(listed(uint, QVariantMap)), portalTimeout);
        return;
    }
    QList<PortalShortcut> shortcuts;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        shortcuts << PortalShortcut{shortcutID(it.key()),
                                    {{QStringLiteral("description"), it->description},
                                     {QStringLiteral("preferred_trigger"), it->trigger}}};
    // Unbounded: the desktop may ask the user to confirm the keys.
    request(QStringLiteral("BindShortcuts"), {sessionPath, QVariant::fromValue(shortcuts), QString()}, {},
            SLOT(bound(uint, QVariantMap)), -1);
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

// What the portal holds from an earlier start: bound again only when it is not Tarn's list.
void PortalGlobalHotkeys::listed(uint response, const QVariantMap& results) {
    if (response == 0) hold(results);
    QStringList ids;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) ids << shortcutID(it.key());
    if (response != 0 || held.keys() != ids) bind();
}

void PortalGlobalHotkeys::bound(uint response, const QVariantMap& results) {
    if (response != 0) qWarning("tarn: the desktop did not bind Tarn's global shortcuts (%u)", response);
    hold(response == 0 ? results : QVariantMap());
}

// The shortcuts an answer lists with a trigger; one listed without is not held.
void PortalGlobalHotkeys::hold(const QVariantMap& results) {
    held.clear();
    for (const PortalShortcut& shortcut : qdbus_cast<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts")))) {
        const QString trigger = shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        if (!trigger.isEmpty()) held.insert(shortcut.id, trigger);
    }
    if (holdingChanged) holdingChanged();
}

bool PortalGlobalHotkeys::holds(int id) const { return held.contains(shortcutID(id)); }

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
