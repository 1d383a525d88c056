#pragma once

#include "platform/GlobalHotkeys.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QVariantMap>

class QDBusArgument;

namespace tarn {

// One shortcut as the portal takes and lists them: (sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

// Global hotkeys through the desktop portal's GlobalShortcuts (KDE Plasma, GNOME 48 and later,
// Hyprland), where an application cannot grab keys itself (Wayland). The preset is only the
// trigger Tarn prefers: the desktop may ask the user, who can change it in the desktop's own
// settings. One portal session holds all of Tarn's shortcuts. At the first binding the portal
// is asked what it holds already (ListShortcuts), and the list is bound only when that is not
// what Tarn wants, so a desktop that asks the user (KDE) asks once, not at every start; every
// later change binds the whole list again, once per turn of the event loop. A shortcut counts
// as held only once the portal's answer lists it with a trigger.
class PortalGlobalHotkeys : public QObject, public GlobalHotkeys {
    Q_OBJECT
public:
    explicit PortalGlobalHotkeys(QDBusConnection bus = QDBusConnection::sessionBus());

    // Whether the portal with GlobalShortcuts answers on `bus`. Asks once and blocks briefly.
    static bool available(const QDBusConnection& bus);

    bool grab(int id, int keyCode, int carbonModifiers) override;
    void release(int id) override;
    void describe(int id, const QString& description) override;
    bool canBind() const override { return answers; }
    bool holds(int id) const override;

    // The preset as the portal takes a preferred trigger: "CTRL+ALT+space", "LOGO+o".
    static QString trigger(int keyCode, int carbonModifiers);

private Q_SLOTS:
    void sessionCreated(uint response, const QVariantMap& results);
    void listed(uint response, const QVariantMap& results);
    void bound(uint response, const QVariantMap& results);
    // Activated(o session, s shortcut, t timestamp, a{sv} options)
    void activated(const QDBusMessage& signal);

private:
    struct Wanted {
        QString trigger;
        QString description;
    };
    void bindSoon();
    void bind();
    void request(const QString& method, const QVariantList& arguments, QVariantMap options, const char* answer,
                 int timeout);
    void hold(const QVariantMap& results);
    QString requestPath(const QString& token) const;
    QString nextToken();

    QDBusConnection bus;
    bool answers = false;
    bool creatingSession = false;
    bool bindQueued = false;
    bool askedWhatIsHeld = false;
    QString session;
    int tokens = 0;
    QMap<int, Wanted> wanted;
    QMap<int, QString> descriptions;
    QMap<QString, QString> held; // shortcut id -> trigger, as the portal's last answer lists them
};

} // namespace tarn

Q_DECLARE_METATYPE(tarn::PortalShortcut)
