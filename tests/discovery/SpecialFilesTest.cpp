#include "TempHome.h"
#include "TestMain.h"
#include "discovery/Recents.h"
#include "discovery/Scanner.h"
#include "discovery/WorkspaceFile.h"
#include "platform/linux/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tarn;

// Named pipes, devices, sockets and oversized files where Tarn expects the files others write:
// every reader passes them by at once, and reads the ordinary files beside them.
class SpecialFilesTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;

    // Puts a file of `kind` at `relative`; `ordinary` is what an oversized file holds before its
    // padding, so that reading it cut short would still give a result.
    void place(const QString& kind, const QString& relative, const QByteArray& ordinary, qint64 limit) {
        const QString path = home->path() + '/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        const QByteArray name = QFile::encodeName(path);
        if (kind == "fifo") {
            QVERIFY(::mkfifo(name.constData(), 0600) == 0);
        } else if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (kind == "socket") {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            QVERIFY(size_t(name.size()) < sizeof address.sun_path);
            std::copy(name.begin(), name.end(), address.sun_path);
            QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
            ::close(fd);
        } else {
            home->writeFile(relative, ordinary + '\n' + QByteArray(limit, ' '));
        }
    }

private Q_SLOTS:
    void init() { home = std::make_unique<test::TempHome>(); }
    void cleanup() { home.reset(); }

    void readersPassThemBy_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("socket") << "socket";
        QTest::newRow("oversized") << "large";
    }

    void readersPassThemBy() {
        QFETCH(QString, kind);
        const QByteArray folderJson = R"({"folders": [{"path": "."}]})";
        place(kind, "pinned/x.code-workspace", folderJson, 1 << 20);
        home->makeFolder("pinned/repo/.git");
        const QByteArray recorded = "{\"folder\": \"" + QUrl::fromLocalFile(home->path() + "/pinned/repo").toEncoded() + "\"}";
        place(kind, ".config/Code/User/workspaceStorage/special/workspace.json", recorded, 16 << 20);
        home->writeFile(".config/Code/User/workspaceStorage/plain/workspace.json", recorded);
        place(kind, "apps/x.desktop", "[Desktop Entry]\nType=Application\nName=X\nExec=x\n", 1 << 20);

        QVERIFY(WorkspaceFile::folders(QUrl::fromLocalFile(home->path() + "/pinned/x.code-workspace")).isEmpty());
        const ScanResult scanned = Scanner::scan({QUrl::fromLocalFile(home->path() + "/pinned")});
        QCOMPARE(scanned.repos.size(), 1);
        QCOMPARE(scanned.workspaces.size(), kind == "fifo" || kind == "socket" ? 0 : 1);
        QCOMPARE(Recents::load("Code", 10).entries.size(), 1);
        QCOMPARE(DesktopEntry::read(home->path() + "/apps/x.desktop"), std::nullopt);
    }
};

TARN_TEST(SpecialFilesTest)
#include "SpecialFilesTest.moc"
