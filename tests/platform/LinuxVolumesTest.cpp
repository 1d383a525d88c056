#include "TempHome.h"
#include "TestMain.h"
#include "menu/Presets.h"
#include "platform/FileSystem.h"
#include "platform/linux/LinuxVolumes.h"

#include <QFile>
#include <QTest>

#include <sys/xattr.h>

using namespace tarn;

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
        QTest::newRow("tmpfs in /mnt") << "/mnt/scratch" << "tmpfs" << true;
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
