// The desktop service against fixture associations, applications and a file manager that
// the test itself serves on its private session bus.
#include "TempHome.h"
#include "TestMain.h"
#include "platform/linux/LinuxDesktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTest>

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
        QCOMPARE(manager.shown, QStringList{QUrl::fromLocalFile(file).toString()});
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
