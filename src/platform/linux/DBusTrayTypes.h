#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tarn {

// The structures of the StatusNotifierItem and com.canonical.dbusmenu protocols, as D-Bus
// carries them.

// One row of a menu with its rows, to the depth asked: (ia{sv}av), each child a variant.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

// One row's properties: (ia{sv}).
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

// The properties a row no longer has: (ias).
struct DBusMenuItemKeys {
    int id = 0;
    QStringList properties;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// One event of EventGroup: (isvu).
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// An icon as pixels: (iiay), ARGB32 in network byte order.
struct StatusIconPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using StatusIconPixmaps = QList<StatusIconPixmap>;

// The item's tooltip: (sa(iiay)ss) icon name, icon, title, text.
struct StatusToolTip {
    QString iconName;
    StatusIconPixmaps icon;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& layout);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& layout);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);
QDBusArgument& operator<<(QDBusArgument& argument, const StatusIconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusIconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const StatusToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusToolTip& toolTip);

// Makes the types above known to Qt's D-Bus; once is enough, more is harmless.
void registerDBusTrayTypes();

} // namespace tarn

Q_DECLARE_METATYPE(tarn::DBusMenuLayout)
Q_DECLARE_METATYPE(tarn::DBusMenuItem)
Q_DECLARE_METATYPE(tarn::DBusMenuItemKeys)
Q_DECLARE_METATYPE(tarn::DBusMenuEvent)
Q_DECLARE_METATYPE(tarn::StatusIconPixmap)
Q_DECLARE_METATYPE(tarn::StatusToolTip)
