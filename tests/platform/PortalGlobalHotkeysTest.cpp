// Global shortcuts through a desktop portal that the test plays on its private session bus.
#include "TestMain.h"
#include "platform/linux/PortalGlobalHotkeys.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QTest>
#include <QThread>

using namespace tarn;

namespace {

const QString portalPath = "/org/freedesktop/portal/desktop";
const QString sessionPath = "/org/freedesktop/portal/desktop/session/test/tarn";

// Plays org.freedesktop.portal.Desktop's GlobalShortcuts: answers each request on the object
// the caller listens to, and records every list of shortcuts it is asked to bind.
class FakePortal : public QDBusVirtualObject {
public:
    QList<QStringList> bindings; // each shortcut as "id|trigger|description"
    QMutex mutex;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QMutexLocker locker(&mutex);
        const QString member = message.member();
        if (member == "Get") {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
            return true;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().last());
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString request = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                                options.value("handle_token").toString();
        QVariantMap results;
        if (member == "CreateSession") {
            results.insert("session_handle", sessionPath);
        } else if (member == "BindShortcuts") {
            const QDBusArgument list = message.arguments().at(1).value<QDBusArgument>();
            QStringList bound;
            list.beginArray();
            while (!list.atEnd()) {
                QString id;
                QVariantMap properties;
                list.beginStructure();
                list >> id >> properties;
                list.endStructure();
                bound << id + "|" + properties.value("preferred_trigger").toString() + "|" +
                             properties.value("description").toString();
            }
            list.endArray();
            bindings << bound;
        } else {
            return false;
        }
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        response << 0u << results;
        connection.send(response);
        return true;
    }
};

} // namespace

class PortalGlobalHotkeysTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void triggers_data() {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("ctrl alt space") << 49 << 0x1800 << "CTRL+ALT+space";
        QTest::newRow("shift alt space") << 49 << 0xA00 << "ALT+SHIFT+space";
        QTest::newRow("alt super o") << 31 << 0x900 << "ALT+LOGO+o";
        QTest::newRow("a key outside the table") << 12 << 0x1800 << "";
    }

    void triggers() {
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, trigger);
        QCOMPARE(PortalGlobalHotkeys::trigger(keyCode, modifiers), trigger);
    }

    // Every change binds the whole list again; a press the desktop reports reaches Tarn.
    void bindsThroughThePortal() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("needs the private session bus of the test run");
        FakePortal portal;
        QThread thread; // served apart, so that the blocking question is answered
        portal.moveToThread(&thread);
        thread.start();
        QDBusConnection service = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-portal");
        QVERIFY(service.registerService("org.freedesktop.portal.Desktop"));
        QVERIFY(service.registerVirtualObject(portalPath, &portal, QDBusConnection::SingleNode));
        auto stop = qScopeGuard([&] {
            service.unregisterObject(portalPath);
            service.unregisterService("org.freedesktop.portal.Desktop");
            QDBusConnection::disconnectFromBus("fake-portal");
            thread.quit();
            thread.wait();
        });
        auto bindings = [&] {
            QMutexLocker locker(&portal.mutex);
            return portal.bindings;
        };

        PortalGlobalHotkeys hotkeys(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "portal-client"));
        QList<int> presses;
        hotkeys.pressed = [&](int id) { presses << id; };
        QVERIFY(hotkeys.canBind());
        hotkeys.describe(1, "Quick Open");
        QVERIFY(hotkeys.grab(1, 49, 0x1800));
        QVERIFY(hotkeys.grab(2, 46, 0x1800));
        QTRY_COMPARE(bindings().size(), 1); // one binding for both
        QCOMPARE(bindings().last(), QStringList({"tarn-1|CTRL+ALT+space|Quick Open", "tarn-2|CTRL+ALT+m|tarn-2"}));
        hotkeys.release(1);
        QTRY_COMPARE(bindings().size(), 2);
        QCOMPARE(bindings().last(), QStringList({"tarn-2|CTRL+ALT+m|tarn-2"}));
        QVERIFY(!hotkeys.grab(3, 12, 0)); // no such key

        QDBusMessage activated =
            QDBusMessage::createSignal(portalPath, "org.freedesktop.portal.GlobalShortcuts", "Activated");
        activated << QVariant::fromValue(QDBusObjectPath(sessionPath)) << QString("tarn-2") << qulonglong(1)
                  << QVariantMap();
        service.send(activated);
        QTRY_COMPARE(presses, QList<int>{2});
        QDBusConnection::disconnectFromBus("portal-client");
    }

    void noPortalNoBinding() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("needs the private session bus of the test run");
        PortalGlobalHotkeys hotkeys;
        QVERIFY(!hotkeys.canBind());
        QVERIFY(!hotkeys.grab(1, 49, 0x1800));
    }
};

TARN_TEST(PortalGlobalHotkeysTest)
#include "PortalGlobalHotkeysTest.moc"
