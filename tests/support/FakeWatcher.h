#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

namespace tarn::test {

// Plays a StatusNotifier watcher with a host, as KDE Plasma's panel or GNOME's AppIndicator
// extension do, on the session bus for as long as it lives: records the items that register.
class FakeWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
public:
    // False when the bus refused the name (another watcher runs).
    bool start() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.registerObject("/StatusNotifierWatcher", this,
                                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
               bus.registerService("org.kde.StatusNotifierWatcher");
    }
    ~FakeWatcher() override {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService("org.kde.StatusNotifierWatcher");
        bus.unregisterObject("/StatusNotifierWatcher");
    }

    QStringList items; // the bus names of the items

    // Drops an item as GNOME's extension does when it fails to set the item up.
    void drop(const QString& item) {
        items.removeAll(item);
        QDBusMessage dropped = QDBusMessage::createSignal("/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                                                          "StatusNotifierItemUnregistered");
        dropped << item;
        QDBusConnection::sessionBus().send(dropped);
    }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registeredItems() const { return items; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
        items << (service.startsWith('/') ? message.service() : service);
    }
    void RegisterStatusNotifierHost(const QString&) {}
};

} // namespace tarn::test
