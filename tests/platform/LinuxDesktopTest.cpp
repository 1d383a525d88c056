// The desktop service against fixture associations, applications and a file manager that
// the test itself serves on its private session bus.
#include "TempHome.h"
#include "TestMain.h"
#include "menu/MenuItems.h"
#include "model/Entry.h"
#include "platform/FileSystem.h"
#include "platform/linux/LinuxDesktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
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

class LinuxDesktopTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;

    // An application whose program records its arguments in <home>/<name>.args.
    void application(const QString& name, const QString& mimeTypes, const QString& exec) {
        const QString program = home->writeFile("bin/" + name, QString("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1/%2.args'\n")
                                                                   .arg(home->path(), name).toUtf8());
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        home->writeFile(".local/share/applications/" + name + ".desktop",
                        QString("[Desktop Entry]\nType=Application\nName=%1 App\nIcon=%1\nMimeType=%2\nExec=%3\n")
                            .arg(name, mimeTypes, QString(exec).replace("@", program))
                            .toUtf8());
    }
    QByteArray argumentBytes(const QString& name) {
        QFile file(home->path() + '/' + name + ".args");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString args(const QString& name) {
        QFile file(home->path() + '/' + name + ".args");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }

private Q_SLOTS:
    void init() { home = std::make_unique<test::TempHome>(); }
    void cleanup() { home.reset(); }

    // The user's default first, then the other associations, each once; unknown: a reason.
    void defaultApplications() {
        application("editor", "text/plain;", "@ %F");
        application("viewer", "text/plain;text/markdown;", "@ --view %f");
        home->writeFile(".local/share/applications/mimeinfo.cache",
                        "[MIME Cache]\ntext/plain=editor.desktop;viewer.desktop;\ntext/markdown=viewer.desktop;\n");
        home->writeFile(".config/mimeapps.list", "[Default Applications]\ntext/plain=viewer.desktop\n");
        const QString file = home->writeFile("notes.txt", "x");

        QStringList names;
        LinuxDesktop desktop;
        for (const OfferedApplication& offered : desktop.applicationsFor(QUrl::fromLocalFile(file)))
            names << offered.name;
        QCOMPARE(names, QStringList({"viewer App", "editor App"}));

        QCOMPARE(desktop.openURL(QUrl::fromLocalFile(file), false), std::nullopt);
        QTRY_COMPARE(args("viewer"), "--view\n" + file);

        const auto unknown = desktop.openURL(QUrl::fromLocalFile(home->writeFile("x.unknownext", "\x01\x02")), false);
        QVERIFY(unknown && unknown->contains("No application is set to open"));
        const auto missing = desktop.openURL(QUrl::fromLocalFile(home->path() + "/gone.txt"), false);
        QVERIFY(missing && missing->contains("does not exist"));
    }

    void openWithADesktopEntry() {
        application("editor", "text/plain;", "env A=1 @ --new %U");
        const QString file = home->writeFile("a b.txt", "x");
        LinuxDesktop desktop;
        const QString entry = home->path() + "/.local/share/applications/editor.desktop";
        QCOMPARE(desktop.openWith({QUrl::fromLocalFile(file)}, {entry, std::nullopt, entry}, false), std::nullopt);
        QTRY_COMPARE(args("editor"), "--new\n" + file);
        const auto broken = desktop.openWith({QUrl::fromLocalFile(file)}, {"/nowhere", std::nullopt, std::nullopt}, false);
        QVERIFY(broken);
    }

    // A name that is not UTF-8, inside a folder whose name is not either: listed, classified
    // and handed to the application byte for byte.
    void namesThatAreNotUtf8KeepTheirBytes() {
        application("editor", "text/plain;", "@ %F");
        home->writeFile(".config/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n");
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
        QTRY_COMPARE(argumentBytes("editor"), file + '\n');
        QFile::remove(home->path() + "/editor.args");
        const QString entry = home->path() + "/.local/share/applications/editor.desktop";
        QCOMPARE(desktop.openWith({inside[0].url, listed[0].url}, {entry, std::nullopt, entry}, false), std::nullopt);
        QTRY_COMPARE(argumentBytes("editor"), file + '\n' + folder + '\n');
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
        const QString file = home->writeFile("notes.txt", "x");
        LinuxDesktop desktop;
        FakeFileManager manager;
        QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.FileManager1"));
        QCOMPARE(desktop.reveal(QUrl::fromLocalFile(file)), std::nullopt);
        QTRY_COMPARE(manager.shown, QStringList{QUrl::fromLocalFile(file).toString()});
        bus.unregisterService("org.freedesktop.FileManager1");
        bus.unregisterObject("/org/freedesktop/FileManager1");

        // Without one, the folder is opened instead (here: with the fixture's folder handler).
        application("files", "inode/directory;", "@ %U");
        QCOMPARE(desktop.reveal(QUrl::fromLocalFile(file)), std::nullopt);
        QTRY_COMPARE(args("files"), home->path());
    }
};

TARN_TEST(LinuxDesktopTest)
#include "LinuxDesktopTest.moc"
