#include "TempHome.h"
#include "TestMain.h"
#include "platform/linux/DesktopEntry.h"
#include "platform/linux/LinuxApplications.h"

#include <QFile>
#include <QTest>

using namespace tarn;

class LinuxApplicationsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;
    QString root; // the fake system below which /usr, /opt, /snap and /var live

    QString executable(const QString& relative) {
        const QString path = home->writeFile(relative, "#!/bin/sh\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QString desktopEntry(const QString& relative, const QString& exec, bool hidden = false) {
        return home->writeFile(relative, QString("[Desktop Entry]\nType=Application\nName=X\nExec=%1\n%2")
                                             .arg(exec, hidden ? "Hidden=true\n" : "")
                                             .toUtf8());
    }

private Q_SLOTS:
    void init() {
        home = std::make_unique<test::TempHome>();
        root = home->path() + "/root";
    }
    void cleanup() { home.reset(); }

    void installs_data() {
        QTest::addColumn<QString>("bundleID");
        QTest::addColumn<QStringList>("executables"); // below the home folder
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("entryPath");       // a desktop entry to write, "" for none
        QTest::addColumn<QString>("entryExec");
        QTest::addColumn<QString>("location");        // expected, relative to the home; "" = none
        QTest::addColumn<QString>("launcher");

        QTest::newRow("deb install of VS Code")
            << "com.microsoft.VSCode" << QStringList{"root/usr/share/code/bin/code"} << QStringList{}
            << "" << "" << "root/usr/share/code" << "root/usr/share/code/bin/code";
        QTest::newRow("install folder without its launcher")
            << "com.vscodium" << QStringList{} << QStringList{"root/opt/vscodium"} << "" << ""
            << "root/opt/vscodium" << "";
        QTest::newRow("snap")
            << "com.microsoft.VSCode" << QStringList{"root/snap/bin/code"}
            << QStringList{"root/snap/code/current"} << "" << "" << "root/snap/code/current"
            << "root/snap/bin/code";
        QTest::newRow("user flatpak")
            << "com.vscodium"
            << QStringList{".local/share/flatpak/exports/bin/com.vscodium.codium"}
            << QStringList{".local/share/flatpak/app/com.vscodium.codium"} << "" << ""
            << ".local/share/flatpak/app/com.vscodium.codium"
            << ".local/share/flatpak/exports/bin/com.vscodium.codium";
        QTest::newRow("tarball found through its desktop entry")
            << "com.exafunction.windsurf" << QStringList{"apps/Windsurf/windsurf", "apps/Windsurf/bin/windsurf"}
            << QStringList{} << ".local/share/applications/windsurf.desktop" << "@/apps/Windsurf/windsurf %F"
            << ".local/share/applications/windsurf.desktop" << "apps/Windsurf/bin/windsurf";
        QTest::newRow("AppImage under any entry name")
            << "com.todesktop.230313mzl4w4u92" << QStringList{"Apps/Cursor-1.2.3-x86_64.AppImage"}
            << QStringList{} << ".local/share/applications/appimagekit_12ab-cursor.desktop"
            << "\"@/Apps/Cursor-1.2.3-x86_64.AppImage\" --no-sandbox %U"
            << ".local/share/applications/appimagekit_12ab-cursor.desktop"
            << "Apps/Cursor-1.2.3-x86_64.AppImage";
        QTest::newRow("a later install that has the launcher wins")
            << "dev.zed.Zed" << QStringList{"root/usr/bin/zeditor"} << QStringList{"root/usr/lib/zed"}
            << "" << "" << "root/usr/bin/zeditor" << "root/usr/bin/zeditor";
        QTest::newRow("stale desktop entry") << "com.exafunction.windsurf" << QStringList{}
                                             << QStringList{} << ".local/share/applications/windsurf.desktop"
                                             << "@/apps/gone/windsurf" << "" << "";
        QTest::newRow("desktop entry in a system data folder")
            << "dev.zed.Zed" << QStringList{".local/bin/zed"} << QStringList{}
            << "system/share/applications/dev.zed.Zed.desktop" << "zed %U"
            << "system/share/applications/dev.zed.Zed.desktop" << ".local/bin/zed";
        QTest::newRow("the desktop's terminal")
            << "com.apple.Terminal" << QStringList{"root/usr/bin/xterm"} << QStringList{} << "" << ""
            << "root/usr/bin/xterm" << "root/usr/bin/xterm";
        QTest::newRow("Ghostty by command") << "com.mitchellh.ghostty" << QStringList{"root/usr/bin/ghostty"}
                                            << QStringList{} << "" << "" << "root/usr/bin/ghostty"
                                            << "root/usr/bin/ghostty";
        QTest::newRow("no Linux build of Xcode")
            << "com.apple.dt.Xcode" << QStringList{"root/usr/bin/xcode"} << QStringList{} << "" << ""
            << "" << "";
        QTest::newRow("unknown identifier") << "org.example.None" << QStringList{} << QStringList{}
                                            << "" << "" << "" << "";
    }

    void installs() {
        QFETCH(QString, bundleID);
        QFETCH(QStringList, executables);
        QFETCH(QStringList, folders);
        QFETCH(QString, entryPath);
        QFETCH(QString, entryExec);
        QFETCH(QString, location);
        QFETCH(QString, launcher);
        for (const QString& e : executables) executable(e);
        for (const QString& f : folders) home->makeFolder(f);
        if (!entryPath.isEmpty()) desktopEntry(entryPath, QString(entryExec).replace("@", home->path()));

        const auto found = LinuxApplications(root).find(bundleID);
        QCOMPARE(found.has_value(), !location.isEmpty());
        if (!found) return;
        QCOMPARE(found->location, home->path() + '/' + location);
        QCOMPARE(found->launcher, launcher.isEmpty() ? std::nullopt
                                                     : std::optional(home->path() + '/' + launcher));
        QCOMPARE(found->desktopEntry.has_value(), location.endsWith(".desktop"));
    }

    void hiddenEntryCountsAsRemoved() {
        executable("root/usr/bin/windsurf-bin");
        desktopEntry(".local/share/applications/windsurf.desktop", root + "/usr/bin/windsurf-bin", true);
        QVERIFY(!LinuxApplications(root).find("com.exafunction.windsurf"));
    }

    void execArguments_data() {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("file list") << "/usr/bin/code --new %F" << QStringList{"/a", "/b c"}
                                   << QStringList{"/usr/bin/code", "--new", "/a", "/b c"};
        QTest::newRow("single url, no files") << "app %u" << QStringList{} << QStringList{"app"};
        QTest::newRow("single file takes the first") << "app --open=%f" << QStringList{"/x", "/y"}
                                                     << QStringList{"app", "--open=/x"};
        QTest::newRow("quoted program with spaces")
            << "\"/opt/My App/run\" %U" << QStringList{"/f"} << QStringList{"/opt/My App/run", "/f"};
        QTest::newRow("escapes inside quotes")
            << "sh -c \"echo \\\"\\$HOME\\\"\"" << QStringList{} << QStringList{"sh", "-c", "echo \"$HOME\""};
        QTest::newRow("deprecated codes dropped, percent kept")
            << "app %i %c 100%%" << QStringList{} << QStringList{"app", "100%"};
    }

    void execArguments() {
        QFETCH(QString, exec);
        QFETCH(QStringList, files);
        QFETCH(QStringList, arguments);
        DesktopEntry entry;
        entry.exec = exec;
        QCOMPARE(entry.arguments(files), arguments);
        QCOMPARE(entry.program(), arguments.first());
    }

    void readsOnlyTheDesktopEntryGroup() {
        const QString path = home->writeFile(
            "e.desktop", "# comment\n[Desktop Entry]\nName=Code\nExec=code\\s--x %F\n"
                         "[Desktop Action new]\nExec=code --new-window\n");
        const auto entry = DesktopEntry::read(path);
        QVERIFY(entry);
        QCOMPARE(entry->name, QString("Code"));
        QCOMPARE(entry->exec, QString("code --x %F"));
        QVERIFY(!DesktopEntry::read(home->writeFile("n.desktop", "Name=Nothing\n")));
    }
};

TARN_TEST(LinuxApplicationsTest)
#include "LinuxApplicationsTest.moc"
