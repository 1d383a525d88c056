#include "TempHome.h"
#include "TestMain.h"
#include "platform/linux/DesktopEntry.h"
#include "platform/linux/LinuxApplications.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace tarn;

class LinuxApplicationsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;
    QString root; // the fake system below which /usr, /opt, /snap and /var live

    QString executable(const QString& relative) {
        return home->writeScript(relative, "#!/bin/sh\n");
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

    void execProgram_data() {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("flatpak"); // "" for none
        QTest::newRow("plain") << "/usr/bin/code --new %F" << "/usr/bin/code" << "";
        QTest::newRow("env with assignments")
            << "env ELECTRON_OZONE=1 GDK_BACKEND=x11 /opt/Windsurf/windsurf %F"
            << "/opt/Windsurf/windsurf" << "";
        QTest::newRow("env with options") << "/usr/bin/env -u FOO -i A=b zed %U" << "zed" << "";
        QTest::newRow("sh -c with exec and quotes")
            << "sh -c \"exec '/opt/My App/run' --flag\"" << "/opt/My App/run" << "";
        QTest::newRow("bash -c with an assignment")
            << "/bin/bash -c \"X=1 /opt/cursor/cursor --no-sandbox; true\"" << "/opt/cursor/cursor"
            << "";
        QTest::newRow("flatpak run")
            << "/usr/bin/flatpak run --branch=stable --arch=x86_64 --command=code com.visualstudio.code --x %F"
            << "/usr/bin/flatpak" << "com.visualstudio.code";
        QTest::newRow("env in front of flatpak")
            << "env A=1 flatpak run com.vscodium.codium" << "flatpak" << "com.vscodium.codium";
        QTest::newRow("flatpak run past an empty quoted word")
            << "flatpak run \"\" --verbose com.example.App" << "flatpak" << "com.example.App";
        QTest::newRow("empty") << "" << "" << "";
    }

    void execProgram() {
        QFETCH(QString, exec);
        QFETCH(QString, program);
        QFETCH(QString, flatpak);
        DesktopEntry entry;
        entry.exec = exec;
        QCOMPARE(entry.program(), program);
        QCOMPARE(entry.flatpakApp().value_or(QString()), flatpak);
    }

    // Installs as people really make them: wrapped Exec lines, tarballs and AppImages linked
    // into ~/.local/bin, AppImages without any desktop entry, terminals of every desktop.
    void wrappedAndLinkedInstalls_data() {
        QTest::addColumn<QString>("bundleID");
        QTest::addColumn<QStringList>("executables"); // below the home folder
        QTest::addColumn<QStringList>("links");       // "link>target", both below the home
        QTest::addColumn<QString>("entryPath");
        QTest::addColumn<QString>("entryExec");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("launcher");

        QTest::newRow("env wrapper")
            << "com.exafunction.windsurf"
            << QStringList{"apps/Windsurf/windsurf", "apps/Windsurf/bin/windsurf"} << QStringList{}
            << ".local/share/applications/windsurf.desktop"
            << "env GDK_BACKEND=x11 @/apps/Windsurf/windsurf %F"
            << ".local/share/applications/windsurf.desktop" << "apps/Windsurf/bin/windsurf";
        QTest::newRow("sh -c wrapper")
            << "com.exafunction.windsurf"
            << QStringList{"apps/Windsurf/windsurf", "apps/Windsurf/bin/windsurf"} << QStringList{}
            << ".local/share/applications/windsurf.desktop"
            << "sh -c \"exec @/apps/Windsurf/windsurf --enable-features=X\""
            << ".local/share/applications/windsurf.desktop" << "apps/Windsurf/bin/windsurf";
        QTest::newRow("flatpak run gives the export wrapper")
            << "com.microsoft.VSCode"
            << QStringList{".local/share/flatpak/exports/bin/com.visualstudio.code", "root/usr/bin/flatpak"}
            << QStringList{} << ".local/share/flatpak/exports/share/applications/com.visualstudio.code.desktop"
            << "@/root/usr/bin/flatpak run --branch=stable com.visualstudio.code --x %F"
            << ".local/share/flatpak/exports/share/applications/com.visualstudio.code.desktop"
            << ".local/share/flatpak/exports/bin/com.visualstudio.code";
        QTest::newRow("VS Code tarball linked into ~/.local/bin")
            << "com.microsoft.VSCode"
            << QStringList{"apps/VSCode-linux-x64/code", "apps/VSCode-linux-x64/bin/code"}
            << QStringList{".local/bin/code>apps/VSCode-linux-x64/bin/code"} << "" << ""
            << "apps/VSCode-linux-x64" << "apps/VSCode-linux-x64/bin/code";
        QTest::newRow("Windsurf in ~/opt linked to its binary")
            << "com.exafunction.windsurf"
            << QStringList{"opt/Windsurf/windsurf", "opt/Windsurf/bin/windsurf"}
            << QStringList{".local/bin/windsurf>opt/Windsurf/windsurf"} << "" << ""
            << "opt/Windsurf" << "opt/Windsurf/bin/windsurf";
        QTest::newRow("Cursor AppImage in ~/Applications linked as cursor")
            << "com.todesktop.230313mzl4w4u92" << QStringList{"Applications/Cursor-0.45.2-x86_64.AppImage"}
            << QStringList{".local/bin/cursor>Applications/Cursor-0.45.2-x86_64.AppImage"} << "" << ""
            << "Applications/Cursor-0.45.2-x86_64.AppImage" << ".local/bin/cursor";
        QTest::newRow("AppImage alone in ~/Applications")
            << "com.exafunction.windsurf" << QStringList{"Applications/Windsurf-1.2-x86_64.AppImage"}
            << QStringList{} << "" << "" << "Applications/Windsurf-1.2-x86_64.AppImage"
            << "Applications/Windsurf-1.2-x86_64.AppImage";
        QTest::newRow("AppImage alone in ~/.local/bin")
            << "com.vscodium" << QStringList{".local/bin/VSCodium-1.9.AppImage"} << QStringList{} << ""
            << "" << ".local/bin/VSCodium-1.9.AppImage" << ".local/bin/VSCodium-1.9.AppImage";
        for (const char* terminal : {"ptyxis", "wezterm", "foot", "alacritty", "kitty", "tilix"}) {
            QTest::newRow(terminal) << "com.apple.Terminal"
                                    << QStringList{QString("root/usr/bin/") + terminal} << QStringList{}
                                    << "" << "" << QString("root/usr/bin/") + terminal
                                    << QString("root/usr/bin/") + terminal;
        }
        QTest::newRow("kitty from its installer")
            << "com.apple.Terminal" << QStringList{".local/kitty.app/bin/kitty"}
            << QStringList{".local/bin/kitty>.local/kitty.app/bin/kitty"} << "" << ""
            << ".local/kitty.app" << ".local/bin/kitty";
        QTest::newRow("Ptyxis as a flatpak")
            << "com.apple.Terminal" << QStringList{"root/var/lib/flatpak/exports/bin/org.gnome.Ptyxis"}
            << QStringList{} << "" << "" << "root/var/lib/flatpak/exports/bin/org.gnome.Ptyxis"
            << "root/var/lib/flatpak/exports/bin/org.gnome.Ptyxis";
    }

    void wrappedAndLinkedInstalls() {
        QFETCH(QString, bundleID);
        QFETCH(QStringList, executables);
        QFETCH(QStringList, links);
        QFETCH(QString, entryPath);
        QFETCH(QString, entryExec);
        QFETCH(QString, location);
        QFETCH(QString, launcher);
        for (const QString& e : executables) executable(e);
        for (const QString& link : links) {
            const QStringList ends = link.split('>');
            home->makeFolder(QFileInfo(ends[0]).path());
            QVERIFY(QFile::link(home->path() + '/' + ends[1], home->path() + '/' + ends[0]));
        }
        if (!entryPath.isEmpty()) desktopEntry(entryPath, QString(entryExec).replace("@", home->path()));

        const auto found = LinuxApplications(root).find(bundleID);
        QVERIFY(found);
        QCOMPARE(found->location, home->path() + '/' + location);
        QCOMPARE(found->launcher, std::optional(home->path() + '/' + launcher));
    }

    // Lookups are batched over the same entries; a changed folder is read again.
    void entriesAreReadAgainWhenTheirFolderChanges() {
        executable("apps/Windsurf/windsurf");
        const LinuxApplications applications(root);
        QVERIFY(!applications.find("com.exafunction.windsurf"));
        QTest::qWait(5); // the folder's time stamp must move on
        desktopEntry(".local/share/applications/windsurf.desktop", home->path() + "/apps/Windsurf/windsurf");
        QVERIFY(applications.find("com.exafunction.windsurf"));
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
