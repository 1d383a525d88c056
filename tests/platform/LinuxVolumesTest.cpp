#include "TempHome.h"
#include "TestMain.h"
#include "menu/Presets.h"
#include "platform/FileSystem.h"
#include "platform/linux/LinuxVolumes.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <QScopeGuard>

#include <sys/xattr.h>

using namespace tarn;

namespace {

// Plays UDisks2 for the volumes test: block devices name their drive; unmount, eject and
// power off answer as the table says, and are recorded.
class FakeUDisks : public QDBusVirtualObject {
public:
    struct Block {
        QString drive;         // "/" for none
        QString unmountError;  // empty: succeeds
        bool hintIgnore = false, hintSystem = false;
    };
    struct Drive {
        bool ejectable = false, removable = false;
        QString ejectError, powerOffError;
    };
    QHash<QString, Block> blocks; // by name: "sdx1"
    QHash<QString, Drive> drives; // by name: "Stick"
    QStringList calls;
    QMutex mutex;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QMutexLocker locker(&mutex);
        const QString name = message.path().section('/', -1);
        const bool isBlock = message.path().contains("/block_devices/");
        calls << message.member() + ' ' + name;
        auto fail = [&](const QString& error) {
            connection.send(message.createErrorReply("org.freedesktop.UDisks2.Error.Failed", error));
            return true;
        };
        if (message.member() == "GetAll") {
            const Block block = blocks.value(name);
            const QVariantMap all{{"Drive", QVariant::fromValue(QDBusObjectPath(block.drive))},
                                  {"HintIgnore", block.hintIgnore}, {"HintSystem", block.hintSystem}};
            connection.send(message.createReply(QVariant::fromValue(all)));
            return true;
        }
        if (message.member() == "Get") {
            const QString property = message.arguments().value(1).toString();
            QVariant value;
            if (isBlock && property == "Drive") value = QVariant::fromValue(QDBusObjectPath(blocks.value(name).drive));
            else if (property == "Ejectable") value = drives.value(name).ejectable;
            else if (property == "Removable") value = drives.value(name).removable;
            else return fail("no such property");
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
            return true;
        }
        QString error;
        if (message.member() == "Unmount") error = blocks.value(name).unmountError;
        else if (message.member() == "Eject") error = drives.value(name).ejectError;
        else if (message.member() == "PowerOff") error = drives.value(name).powerOffError;
        if (!error.isEmpty()) return fail(error);
        connection.send(message.createReply());
        return true;
    }
};

} // namespace

class LinuxVolumesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void userVolumes_data() {
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("listed");
        QTest::newRow("USB stick under /media") << "/media/me/STICK" << "vfat" << true;
        QTest::newRow("udisks under /run/media") << "/run/media/me/CARD" << "exfat" << true;
        QTest::newRow("mounted by hand in /mnt") << "/mnt/backup" << "ext4" << true;
        QTest::newRow("tmpfs in /mnt") << "/mnt/scratch" << "tmpfs" << false;
        QTest::newRow("overlay in /mnt") << "/mnt/merged" << "overlay" << false;
        QTest::newRow("root") << "/" << "ext4" << false;
        QTest::newRow("boot") << "/boot/efi" << "vfat" << false;
        QTest::newRow("home") << "/home" << "ext4" << false;
        QTest::newRow("pseudo file system") << "/mnt/proc" << "proc" << false;
        QTest::newRow("snap images") << "/media/snap" << "squashfs" << false;
        QTest::newRow("elsewhere") << "/srv/data" << "ext4" << false;
        QTest::newRow("/mnt itself") << "/mnt" << "ext4" << false;
    }

    void userVolumes() {
        QFETCH(QString, mountPoint);
        QFETCH(QString, type);
        QFETCH(bool, listed);
        QCOMPARE(LinuxVolumes::isUserVolume(mountPoint, type), listed);
    }

    // Against a UDisks2 played on a private bus that stands in for the system bus.
    void udisks() {
        QProcess daemon;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QVERIFY(daemon.waitForReadyRead(10000));
        const QByteArray address = daemon.readLine().trimmed();
        const QDBusConnection system = QDBusConnection::connectToBus(QString::fromUtf8(address), "tarn-test-system");
        QVERIFY(system.isConnected());

        FakeUDisks udisks;
        udisks.blocks = {{"sdx1", {"/org/freedesktop/UDisks2/drives/Stick", ""}},
                         {"sdy1", {"/org/freedesktop/UDisks2/drives/Card", "Target is busy"}},
                         {"loop0", {"/", ""}},
                         {"sdz1", {"/org/freedesktop/UDisks2/drives/Usb", ""}},
                         {"sda3", {"/org/freedesktop/UDisks2/drives/Internal", "", false, true}},
                         {"sdw1", {"/org/freedesktop/UDisks2/drives/Stick", "", true, false}}};
        udisks.drives = {{"Stick", {true, false, "", ""}},
                         {"Card", {false, true, "", ""}},
                         {"Usb", {false, true, "not ejectable", ""}}};
        // Served from its own connection and thread, so our blocking calls can be answered.
        QThread thread;
        udisks.moveToThread(&thread);
        thread.start();
        QDBusConnection service = QDBusConnection::connectToBus(QString::fromUtf8(address), "fake-udisks");
        QVERIFY(service.registerService("org.freedesktop.UDisks2"));
        QVERIFY(service.registerVirtualObject("/org/freedesktop/UDisks2", &udisks, QDBusConnection::SubPath));

        const QList<MountedVolume> volumes = LinuxVolumes::volumesOf(
            {{"/media/me/STICK", "/dev/sdx1", "vfat", "STICK", 100},
             {"/run/media/me/CARD", "/dev/sdy1", "exfat", "CARD", std::nullopt},
             {"/mnt/image", "/dev/loop0", "ext4", "", 50},
             {"/boot/efi", "/dev/sda1", "vfat", "", 1},
             {"/media/me/USB", "/dev/sdz1", "ext4", "USB", 7},
             {"/mnt/usb-again", "/dev/sdz1", "ext4", "USB", 7},              // the same device again
             {"/mnt/part", "/dev/sdx1", "vfat", "STICK", 100, "/photos"},     // a bind mount of a folder
             {"/mnt/data", "/dev/sda3", "ext4", "data", 9},                  // a system disk
             {"/media/me/HIDDEN", "/dev/sdw1", "vfat", "HIDDEN", 9}},         // HintIgnore
            system);
        // (the fake must be gone before anything below can fail and end the test)
        auto stop = qScopeGuard([&] {
            service.unregisterObject("/org/freedesktop/UDisks2");
            QDBusConnection::disconnectFromBus("fake-udisks");
            QDBusConnection::disconnectFromBus("tarn-test-system");
            thread.quit();
            thread.wait();
            daemon.kill();
            daemon.waitForFinished();
        });
        QCOMPARE(volumes.size(), 4);
        QCOMPARE(volumes[0], (MountedVolume{"/media/me/STICK", "STICK", true, 100}));
        QVERIFY(volumes[1].ejectable);  // removable
        QVERIFY(!volumes[2].ejectable); // a loop device has no drive
        QVERIFY(volumes[3].ejectable);

        QCOMPARE(LinuxVolumes::ejectDevice("/dev/sdx1", system), std::nullopt);
        QCOMPARE(LinuxVolumes::ejectDevice("/dev/sdy1", system), std::optional<QString>("Target is busy"));
        QCOMPARE(LinuxVolumes::ejectDevice("/dev/sdz1", system), std::nullopt); // powered off instead
        QVERIFY(LinuxVolumes::ejectDevice("tmpfs", system));                     // no disk at all
        QMutexLocker locker(&udisks.mutex);
        QVERIFY(udisks.calls.contains("Eject Stick"));
        QVERIFY(!udisks.calls.contains("Eject Card")); // unmounting failed first
        QVERIFY(udisks.calls.contains("PowerOff Usb"));
    }

    // macOS marks screenshots with an extended attribute that copies keep.
    void screenshotAttribute() {
        test::TempHome home;
        const QString path = home.writeFile("capture.png", "x");
        QVERIFY(!hasExtendedAttribute(path, "user.com.apple.metadata:kMDItemIsScreenCapture"));
        if (::setxattr(QFile::encodeName(path).constData(), "user.com.apple.metadata:kMDItemIsScreenCapture", "1", 1, 0) != 0)
            QSKIP("this file system keeps no user attributes");
        QVERIFY(hasExtendedAttribute(path, "user.com.apple.metadata:kMDItemIsScreenCapture"));
        QVERIFY(Presets::isScreenshot(path)); // no known prefix, still a screenshot
    }
};

TARN_TEST(LinuxVolumesTest)
#include "LinuxVolumesTest.moc"
