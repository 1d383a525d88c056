#include "TestMain.h"
#include "platform/SessionInstance.h"
#include "platform/linux/ActivationToken.h"
#include "platform/linux/DBusSessionInstance.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

using namespace tarn;
using Request = SessionInstance::Request;

// Runs on the private session bus of the platform tests.
class DBusSessionInstanceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A Tarn that holds the name but does not answer: a later start that asks for something
    // says so (and main exits non-zero); a plain start just ends.
    void aTarnThatDoesNotAnswer() {
        QDBusConnection silent = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "silent");
        QVERIFY(silent.registerService(DBusSessionInstance::service));
        const auto ignore = [](Request) {};
        QCOMPARE(SessionInstance::claim(Request::quickOpen, ignore), SessionInstance::Claim::unanswered);
        QCOMPARE(SessionInstance::claim(Request::none, ignore), SessionInstance::Claim::handedOver);
        silent.unregisterService(DBusSessionInstance::service);
        QDBusConnection::disconnectFromBus("silent");
    }

    // A flood of calls from another client becomes a few requests, the last one asked for,
    // and a later call is still answered.
    void floodsAreMerged() {
        QList<Request> handled;
        QCOMPARE(SessionInstance::claim(Request::none, [&](Request request) { handled << request; }), SessionInstance::Claim::ours);
        QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "flood");
        auto send = [&](const QString& method) {
            client.asyncCall(QDBusMessage::createMethodCall(DBusSessionInstance::service, DBusSessionInstance::path,
                                                            DBusSessionInstance::service, method));
        };
        const int calls = 2000;
        for (int i = 0; i < calls; ++i) send(i % 2 ? "Menu" : "QuickOpen");
        send("QuickOpen");
        QTRY_VERIFY(!handled.isEmpty() && handled.last() == Request::quickOpen);
        QTest::qWait(3 * DBusSessionInstance::mergeWindowMs);
        QVERIFY2(handled.size() < calls / 20, qPrintable(QString::number(handled.size())));
        const qsizetype before = handled.size();
        send("Menu");
        QTRY_COMPARE(handled.size(), before + 1);
        QCOMPARE(handled.last(), Request::menu);
        // A token the desktop gave the later start is where Qt takes it for the next activation.
        QByteArray tokenWhenHandled;
        QDBusMessage withToken = QDBusMessage::createMethodCall(DBusSessionInstance::service, DBusSessionInstance::path,
                                                                DBusSessionInstance::service, "QuickOpen");
        withToken << QString("token-42");
        const qsizetype handledBefore = handled.size();
        qunsetenv("XDG_ACTIVATION_TOKEN");
        client.asyncCall(withToken);
        QTRY_COMPARE(handled.size(), handledBefore + 1);
        QCOMPARE(handled.last(), Request::quickOpen);
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), QByteArray("token-42"));
        // Only for the activation it came with: nothing Tarn starts later inherits it.
        QTRY_VERIFY_WITH_TIMEOUT(!qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"), 3 * ActivationToken::holdMs);
        // What cannot be a token is not taken.
        for (const QString& bad : {QString("line\nbreak"), QString(300, 'x')}) {
            QDBusMessage withBad = QDBusMessage::createMethodCall(DBusSessionInstance::service, DBusSessionInstance::path,
                                                                  DBusSessionInstance::service, "Menu");
            withBad << bad;
            const qsizetype before = handled.size();
            client.asyncCall(withBad);
            QTRY_COMPARE(handled.size(), before + 1);
            QVERIFY(!qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
        }
        // A call of 64 MiB (past what libdbus holds by default) is refused, and Tarn keeps
        // listening.
        QDBusMessage huge = QDBusMessage::createMethodCall(DBusSessionInstance::service, DBusSessionInstance::path,
                                                           DBusSessionInstance::service, "Menu");
        huge << QString(64 << 20, 'x');
        const qsizetype beforeHuge = handled.size();
        const QDBusPendingCall refused = client.asyncCall(huge, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(refused.isFinished(), 20000);
        QCOMPARE(refused.error().type(), QDBusError::InvalidArgs);
        QTest::qWait(3 * DBusSessionInstance::mergeWindowMs);
        QCOMPARE(handled.size(), beforeHuge);
        send("QuickOpen");
        QTRY_VERIFY_WITH_TIMEOUT(handled.size() > beforeHuge && handled.last() == Request::quickOpen, 10000);
        QDBusConnection::disconnectFromBus("flood");
    }

    // A connection that stopped reading (a stopped process stands in for Tarn's when libdbus
    // held back what passed its limit) is noticed; one that listens is not.
    void deafnessIsNoticed() {
        int deafCalls = 0;
        DBusSessionInstance instance([](Request) {}, [&] { ++deafCalls; }, nullptr);
        QSignalSpy checked(&instance, &DBusSessionInstance::hearingChecked);
        instance.checkHearing(QDBusConnection::sessionBus().baseService());
        QTRY_COMPARE(checked.size(), 1);
        QCOMPARE(checked[0][0].toBool(), true);

        QProcess stopped;
        stopped.start("/usr/bin/python3", {"-c", "import gi, sys, time\n"
                                        "from gi.repository import Gio\n"
                                        "bus = Gio.bus_get_sync(Gio.BusType.SESSION)\n"
                                        "print(bus.get_unique_name(), flush=True)\n"
                                        "time.sleep(60)\n"});
        QVERIFY(stopped.waitForReadyRead(10000));
        const QString name = QString::fromLatin1(stopped.readLine().trimmed());
        QCOMPARE(::kill(pid_t(stopped.processId()), SIGSTOP), 0);
        // Found twice in a row: once could be a machine too busy to answer in time.
        instance.checkHearing(name);
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 2, 3 * DBusSessionInstance::hearingTimeoutMs);
        QCOMPARE(checked[1][0].toBool(), false);
        QCOMPARE(deafCalls, 0);
        instance.checkHearing(name);
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 3, 3 * DBusSessionInstance::hearingTimeoutMs);
        QCOMPARE(deafCalls, 1);
        stopped.kill();
        stopped.waitForFinished();
    }
};

TARN_TEST(DBusSessionInstanceTest)
#include "DBusSessionInstanceTest.moc"
