// Tarn's StatusNotifier item against a watcher on the test's private session bus.
#include "FakeWatcher.h"
#include "TestMain.h"
#include "platform/linux/LinuxStatusItem.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>
#include <QTest>

using namespace tarn;

class LinuxStatusItemTest : public QObject {
    Q_OBJECT
    static QVariant property(const QString& service, const QString& name) {
        QDBusMessage get = QDBusMessage::createMethodCall(service, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get");
        get << QString("org.kde.StatusNotifierItem") << name;
        return QDBusConnection::sessionBus().call(get, QDBus::BlockWithGui, 5000).arguments().value(0).value<QDBusVariant>().variant();
    }

private Q_SLOTS:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("needs a session bus");
    }

    // A panel that starts after Tarn (an extension enabled later, a shell restarted) gets the
    // item, with its icon by name, its tooltip and its menu.
    void aWatcherThatComesLateGetsTheItem() {
        QMenu menu;
        menu.addAction("Quit Tarn");
        LinuxStatusItem item;
        item.setIcon(QIcon::fromTheme("folder"), QIcon());
        item.setToolTip("Tarn");
        item.setMenu({&menu, {}});
        item.show();
        QVERIFY(!item.isShown());
        int changes = 0;
        item.shownChanged = [&] { ++changes; };

        auto watcher = std::make_unique<test::FakeWatcher>();
        QVERIFY(watcher->start());
        QTRY_COMPARE(watcher->items, QStringList{item.serviceName()});
        QTRY_VERIFY(item.isShown() && item.panelRecolours()); // once the watcher's answer is in
        QCOMPARE(changes, 1);
        QCOMPARE(property(item.serviceName(), "Menu").value<QDBusObjectPath>().path(), QString("/MenuBar"));
        QCOMPARE(property(item.serviceName(), "Status").toString(), QString("Active"));

        // The watcher drops the item while Tarn runs (GNOME's extension does when setting the
        // item up fails): it registers again.
        watcher->drop(item.serviceName());
        QTRY_COMPARE_WITH_TIMEOUT(watcher->items, QStringList{item.serviceName()}, 10000);

        // The shell restarts: its new watcher gets the item again.
        watcher.reset();
        QTRY_VERIFY(!item.isShown());
        watcher = std::make_unique<test::FakeWatcher>();
        QVERIFY(watcher->start());
        QTRY_COMPARE(watcher->items, QStringList{item.serviceName()});
    }
};

TARN_TEST(LinuxStatusItemTest)
#include "LinuxStatusItemTest.moc"
