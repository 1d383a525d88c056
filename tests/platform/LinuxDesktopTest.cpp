// The desktop service against fixture associations, applications and a file manager that
// the test itself serves on its private session bus.
#include "TempHome.h"
#include "TestPlatform.h"
#include "TestMain.h"
#include "menu/MenuItems.h"
#include "model/Entry.h"
#include "platform/FileSystem.h"
#include "platform/linux/LinuxDesktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarn;

// Plays org.freedesktop.FileManager1: records what it is asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
};

// GIO reads the XDG folders once per process, so one home serves every test, its applications
// and associations written before GIO's first look.
class LinuxDesktopTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;
    QByteArray path;

    // An application whose program records its arguments in <home>/<name>.args.
    QString program(const QString& name) {
        return home->writeScript("bin/" + name, QString("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1/%2.args'\necho \"$DESKTOP_STARTUP_ID\" > '%1/%2.id'\n")
                                                     .arg(home->path(), QFileInfo(name).fileName()).toUtf8());
    }
    void application(const QString& name, const QString& mimeTypes, const QString& exec, const QString& extra = {}) {
        home->writeFile(".local/share/applications/" + name + ".desktop",
                        QString("[Desktop Entry]\nType=Application\nName=%1 App\nIcon=%1\nMimeType=%2\nExec=%3\n%4")
                            .arg(name, mimeTypes, QString(exec).replace("@", program(name)), extra)
                            .toUtf8());
    }
    QString entry(const QString& name) { return home->path() + "/.local/share/applications/" + name + ".desktop"; }
    QByteArray argumentBytes(const QString& name) {
        QFile file(home->path() + '/' + name + ".args");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString args(const QString& name) { return QString::fromUtf8(argumentBytes(name)).trimmed(); }
    QString startupID(const QString& name) {
        QFile file(home->path() + '/' + name + ".id");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString("?");
    }

private Q_SLOTS:
    void initTestCase() {
        home = std::make_unique<test::TempHome>();
        application("editor", "text/plain;", "env A=1 @ --new %U");
        application("viewer", "text/plain;text/markdown;", "@ --view %f");
        application("files", "inode/directory;", "@ %U");
        application("vim", "text/x-csrc;", "@ %f", "Terminal=true\n");
        application("gone", "text/plain;", "@ %F", "TryExec=/nowhere/gone\n");
        application("org.example.Broken", "application/pdf;", "@ %F", "DBusActivatable=true\n");
        home->writeFile(".local/share/applications/mimeinfo.cache",
                        "[MIME Cache]\ntext/plain=editor.desktop;viewer.desktop;gone.desktop;\n"
                        "text/markdown=viewer.desktop;\n");
        home->writeFile(".config/mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop\n"
                                                 "inode/directory=files.desktop\ntext/x-csrc=vim.desktop\n"
                                                 "application/pdf=org.example.Broken.desktop\n");
        // The terminal GIO runs Terminal=true applications in.
        program("xterm");
        path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(home->path() + "/bin:") + path);
    }
    void cleanupTestCase() {
        qputenv("PATH", path);
        home.reset();
    }
    void init() {
        for (const QString& name : QDir(home->path()).entryList({"*.args"})) QFile::remove(home->path() + '/' + name);
    }

    // The user's default first, then the other associations, each once; an application whose
    // TryExec program is missing is not offered; unknown: a reason.
    void defaultApplications() {
        const QString file = home->writeFile("notes.txt", "x");
        QStringList names;
        LinuxDesktop desktop;
        for (const OfferedApplication& offered : desktop.applicationsFor(QUrl::fromLocalFile(file)))
            names << offered.name;
        QCOMPARE(names, QStringList({"viewer App", "editor App"}));
        QCOMPARE(desktop.fileManagerName(), QString("files App"));

        QCOMPARE(desktop.openURL(QUrl::fromLocalFile(file), false), std::nullopt);
        QTRY_COMPARE(args("viewer"), "--view\n" + file);
        // In front: the server's time now lets it past focus-stealing prevention.
        QTRY_VERIFY(startupID("viewer").contains(QRegularExpression("^tarn-[0-9]+-[0-9]+_TIME[1-9][0-9]*$")));
        // In the background: a startup id with time zero asks the window manager not to focus it.
        QFile::remove(home->path() + "/viewer.args");
        QCOMPARE(desktop.openURL(QUrl::fromLocalFile(file), true), std::nullopt);
        QTRY_COMPARE(args("viewer"), "--view\n" + file);
        QTRY_VERIFY(startupID("viewer").endsWith("_TIME0"));

        const auto unknown = desktop.openURL(QUrl::fromLocalFile(home->writeFile("x.unknownext", "\x01\x02")), false);
        QVERIFY(unknown && unknown->contains("No application is set to open"));
        const auto missing = desktop.openURL(QUrl::fromLocalFile(home->path() + "/gone.txt"), false);
        QVERIFY(missing && missing->contains("does not exist"));
    }

    // Terminal=true: the application runs in a terminal, as the desktop starts it.
    void terminalApplication() {
        const QString file = home->writeFile("main.c", "int main;");
        QCOMPARE(LinuxDesktop().openURL(QUrl::fromLocalFile(file), false), std::nullopt);
        QTRY_COMPARE(args("xterm"), "-e\n" + home->path() + "/bin/vim\n" + file);
    }

    void openWithADesktopEntry() {
        const QString file = home->writeFile("a b.txt", "x");
        LinuxDesktop desktop;
        QCOMPARE(desktop.openWith({QUrl::fromLocalFile(file)}, {entry("editor"), std::nullopt, entry("editor")}, false),
                 std::nullopt);
        QTRY_COMPARE(args("editor"), "--new\n" + file);
        QVERIFY(desktop.openWith({QUrl::fromLocalFile(file)}, {"/nowhere", std::nullopt, std::nullopt}, false));
        QVERIFY(desktop.openWith({QUrl::fromLocalFile(file)}, {entry("gone"), std::nullopt, entry("gone")}, false));
    }

    // A name that is not UTF-8, inside a folder whose name is not either: listed, classified
    // and handed to the application byte for byte.
    void namesThatAreNotUtf8KeepTheirBytes() {
        const QByteArray code = QFile::encodeName(home->makeFolder("code"));
        const QByteArray folder = code + "/caf\xe9", file = folder + "/n\xff.txt";
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        QVERIFY(::close(::open(file.constData(), O_CREAT | O_WRONLY, 0600)) == 0);

        const QList<MenuItems::Listed> listed = MenuItems::listing(fileURL(code), {});
        QCOMPARE(listed.size(), 1);
        QVERIFY(listed[0].isFolder);
        QCOMPARE(localPath(listed[0].url), folder);
        const QList<MenuItems::Listed> inside = MenuItems::listing(listed[0].url, {});
        QCOMPARE(inside.size(), 1);
        QCOMPARE(localPath(inside[0].url), file);
        QCOMPARE(Entry::classify(listed[0].url).kind, EntryKind::folder);
        QCOMPARE(localPath(Entry::classify(inside[0].url).url), file);
        QVERIFY(Entry::classify(inside[0].url).title.contains(QChar::ReplacementCharacter));

        LinuxDesktop desktop;
        QCOMPARE(desktop.openURL(inside[0].url, false), std::nullopt);
        QTRY_COMPARE(argumentBytes("viewer"), "--view\n" + file + '\n');
        QCOMPARE(desktop.openWith({inside[0].url, listed[0].url}, {entry("editor"), std::nullopt, entry("editor")}, false),
                 std::nullopt);
        QTRY_COMPARE(argumentBytes("editor"), "--new\n" + file + '\n' + folder + '\n');
    }

    // The autostart entry starts a program whose path holds what the Exec rules reserve, and
    // is skipped once the program is gone.
    void autostartEntryQuoting() {
        const QString odd = program("odd \"$HOME\" 100% \\ 'x'/tarn");
        const QString file = home->writeFile("autostart.desktop", LinuxDesktop::autostartEntry(odd));
        LinuxDesktop desktop;
        QCOMPARE(desktop.openWith({}, {file, std::nullopt, file}, false), std::nullopt);
        QTRY_VERIFY(QFile::exists(home->path() + "/tarn.args"));
        QVERIFY(QFile::remove(odd));
        QVERIFY(desktop.openWith({}, {file, std::nullopt, file}, false));
    }

    void launchAtLogin() {
        LinuxDesktop desktop;
        QVERIFY(!desktop.launchesAtLogin());
        QCOMPARE(desktop.setLaunchAtLogin(true), std::nullopt);
        QVERIFY(desktop.launchesAtLogin());
        QFile file(LinuxDesktop::autostartFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString contents = QString::fromUtf8(file.readAll());
        file.close();
        QVERIFY(contents.contains("Exec=/")); // the program by its absolute path
        home->writeFile(".config/autostart/tarn.desktop", (contents + "Hidden=true\n").toUtf8());
        QVERIFY(!desktop.launchesAtLogin()); // switched off in the session settings
        QCOMPARE(desktop.setLaunchAtLogin(false), std::nullopt);
        QVERIFY(!QFile::exists(LinuxDesktop::autostartFile()));
        QVERIFY(QDir(home->path() + "/.config/autostart").removeRecursively());
        home->writeFile(".config/autostart", "a file where the folder should be");
        QVERIFY(desktop.setLaunchAtLogin(true)); // the reason it failed
    }

    void revealThroughTheFileManager() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) QSKIP("needs the private session bus of the test run");
        const QString file = home->writeFile("my notes.txt", "x");
        LinuxDesktop desktop;
        FakeFileManager manager;
        QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.FileManager1"));
        QCOMPARE(desktop.reveal(QUrl::fromLocalFile(file)), std::nullopt);
        QTRY_COMPARE(manager.shown, QStringList{QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded())}); // a URI
        bus.unregisterService("org.freedesktop.FileManager1");
        bus.unregisterObject("/org/freedesktop/FileManager1");

        // Without one, the folder is opened instead (here: with the fixture's folder handler).
        QCOMPARE(desktop.reveal(QUrl::fromLocalFile(file)), std::nullopt);
        QTRY_COMPARE(args("files"), home->path());
    }

    // An application started over D-Bus that cannot start (no such service) is told of when
    // the bus says so, not taken for started.
    void aLateLaunchFailureIsShown() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("needs the private session bus of the test run");
        test::TestPlatform platform;
        const QString file = home->writeFile("paper.pdf", "%PDF-1.4");
        QCOMPARE(LinuxDesktop::mimeTypeOf(QUrl::fromLocalFile(file)), QString("application/pdf"));
        QCOMPARE(LinuxDesktop().openURL(QUrl::fromLocalFile(file), false), std::nullopt);
        QTRY_COMPARE(platform.testDialogs.warnings.size(), 1);
        QCOMPARE(platform.testDialogs.warnings[0].message, QString::fromUtf8("Couldn\u2019t open"));
        QVERIFY2(platform.testDialogs.warnings[0].informative.startsWith(QString::fromUtf8("\u201Corg.example.Broken App\u201D could not be started: ")),
                 qPrintable(platform.testDialogs.warnings[0].informative));
    }
};

TARN_TEST(LinuxDesktopTest)
#include "LinuxDesktopTest.moc"
