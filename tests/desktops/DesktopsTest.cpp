// Tarn inside the real panels of this machine, each started for the test on an X server and
// buses of its own: what the panel asks of Tarn is heard on the session bus, as the panel sends
// it. A desktop that cannot start here is skipped, never failed.
#include "GitFixture.h"
#include "TestMain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>
#include <unistd.h>

namespace {

// One desktop's world: an X server, a system and a session bus, a home, and every process
// started in it, each in a process group of its own that ends with it.
class World {
public:
    World() { QDir().mkpath(path("home")), QDir().mkpath(path("run")), QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }
    // A world whose processes all run as `name`, a user made for the tests when there is none.
    explicit World(const QString& name) : World() {
        if (QProcess::execute("id", {"-u", name}) != 0)
            QProcess::execute("useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", name});
        if (QProcess::execute("chown", {"-R", name + ":", folder.path()}) == 0) user = name;
    }
    ~World() {
        for (QProcess* process : std::as_const(processes)) {
            // An ended process has no id: a kill of group 0 would end the test itself.
            if (process->processId() > 0) ::kill(-pid_t(process->processId()), SIGKILL);
            process->waitForFinished(5000);
            delete process;
        }
    }

    QString path(const QString& relative) const { return folder.path() + "/" + relative; }

    // The X server (unless the desktop is a Wayland compositor of its own) and the buses; false
    // when one does not start.
    bool start(bool x11 = true) {
        if (x11) {
            QProcess* x = run("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "+extension", "GLX", "-nolisten", "tcp"});
            if (!x->waitForReadyRead(10000)) return false;
            display = ":" + QString::fromLatin1(x->readLine()).trimmed();
        }
        systemBus = bus("system");
        sessionBus = bus("session");
        return !systemBus.isEmpty() && !sessionBus.isEmpty();
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (!display.isEmpty()) environment.insert("DISPLAY", display);
        else environment.remove("DISPLAY");
        if (!wayland.isEmpty()) environment.insert("WAYLAND_DISPLAY", wayland);
        environment.insert("DBUS_SESSION_BUS_ADDRESS", sessionBus);
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
        environment.insert("HOME", path("home"));
        environment.insert("XDG_RUNTIME_DIR", path("run"));
        environment.insert("XDG_CONFIG_HOME", path("home/.config"));
        environment.insert("XDG_DATA_HOME", path("home/.local/share"));
        environment.insert("XDG_CACHE_HOME", path("home/.cache"));
        environment.insert("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
        environment.insert("XDG_CONFIG_DIRS", "/etc/xdg");
        environment.insert("LIBGL_ALWAYS_SOFTWARE", "1");
        environment.insert("GSETTINGS_BACKEND", "dconf");
        environment.insert("NO_AT_BRIDGE", "1");
        return environment;
    }

    QProcess* run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {}) {
        auto* process = new QProcess;
        process->setProcessEnvironment(environment.isEmpty() ? this->environment() : environment);
        process->setChildProcessModifier([] { ::setpgid(0, 0); });
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->start(user.isEmpty() ? program : "setpriv", asUser(program, arguments));
        process->waitForStarted(5000);
        processes << process;
        return process;
    }

    // Runs a short command to its end: its exit code (-1 when it did not end), and what it printed.
    int runToEnd(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(user.isEmpty() ? program : "setpriv", asUser(program, arguments));
        const bool ended = process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit;
        if (output) *output = process.readAllStandardOutput();
        return ended ? process.exitCode() : -1;
    }

    // Tarn on a home with a pinned folder of repositories; on X11, or on the Wayland display named;
    // in the session of the desktop named (XDG_CURRENT_DESKTOP), when one is.
    // `settings`: more members of the settings object (", \"favorites\": [...]").
    QProcess* startTarn(const QString& wayland = QString(), const QString& desktop = QString(), const QString& settings = QString()) {
        const QString code = path("home/code");
        for (const char* name : {"data_pipeline", "datapipeline", "alpha"}) tarn::test::makeRepo(code + "/" + name);
        QDir().mkpath(code + "/data_pipeline/src");
        QFile(code + "/data_pipeline/src/main.py").open(QIODevice::WriteOnly);
        QDir().mkpath(path("home/.config/tarn"));
        QFile file(path("home/.config/tarn/defaults.json"));
        if (!file.open(QIODevice::WriteOnly)) return nullptr;
        file.write(QString("{\"pinnedFolders\": [{\"path\": \"%1\"}]%2}").arg(code, settings).toUtf8());
        file.close();
        // The home is the user's, or git would not read repositories another user owns.
        if (!user.isEmpty() && QProcess::execute("chown", {"-R", user + ":", path("home")}) != 0) return nullptr;
        QProcessEnvironment environment = this->environment();
        environment.insert("QT_QPA_PLATFORM", wayland.isEmpty() ? "xcb" : "wayland");
        if (!desktop.isEmpty()) environment.insert("XDG_CURRENT_DESKTOP", desktop);
        if (!wayland.isEmpty()) {
            environment.remove("DISPLAY");
            environment.insert("WAYLAND_DISPLAY", wayland);
        }
        return run(TARN_BINARY, {}, environment);
    }

    // Hears the dbusmenu calls panels make of Tarn. Line-buffered: a pipe would hold what it heard until its buffer fills.
    QProcess* listen() {
        return run("stdbuf", {"-oL", "dbus-monitor", "--address", sessionBus, "interface='com.canonical.dbusmenu'"});
    }

    // What the StatusNotifier watcher lists; none while no watcher runs.
    std::optional<QByteArray> registeredItems() {
        QByteArray items;
        if (runToEnd("dbus-send", {"--session", "--print-reply", "--dest=org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                   "org.freedesktop.DBus.Properties.Get", "string:org.kde.StatusNotifierWatcher",
                                   "string:RegisteredStatusNotifierItems"}, &items) != 0)
            return std::nullopt;
        return items;
    }

    // What Tarn's exported menu holds under row `id`, one level deep, as dbus-send prints it.
    QString menuRows(int id) {
        const QRegularExpressionMatch item = QRegularExpression("string \"([^\"/]+)").match(QString::fromUtf8(registeredItems().value_or("")));
        QByteArray rows;
        runToEnd("dbus-send", {"--session", "--print-reply", "--dest=" + item.captured(1), "/MenuBar", "com.canonical.dbusmenu.GetLayout",
                               "int32:" + QString::number(id), "int32:1", "array:string:label"}, &rows);
        return QString::fromUtf8(rows);
    }

    // Waits for the panel's watcher (skips when none comes: the desktop did not start here),
    // then for Tarn's item in it.
    bool panelUp() { return QTest::qWaitFor([&] { return registeredItems().has_value(); }, 60000); }
    bool itemShown() {
        return QTest::qWaitFor([&] { return registeredItems().value_or(QByteArray()).contains("string \""); }, 60000);
    }

    void click(int x, int y, int button) {
        runToEnd("xdotool", {"mousemove", QString::number(x), QString::number(y), "click", QString::number(button)});
    }
    void key(const QString& name) { runToEnd("xdotool", {"key", name}); }

    // Whether Tarn took its name on the session bus within 30 s (a later start is handed over).
    bool tarnOnBus() {
        return QTest::qWaitFor([&] {
            QByteArray owned;
            runToEnd("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                                   "org.freedesktop.DBus.NameHasOwner", "string:org.tarn.Tarn"}, &owned);
            return owned.contains("boolean true");
        }, 30000);
    }

    // The name of the window the window manager calls active; empty when none.
    QString activeWindow() {
        QByteArray root, name;
        runToEnd("xprop", {"-root", "_NET_ACTIVE_WINDOW"}, &root);
        const QString id = QString::fromLatin1(root).section(' ', -1).trimmed();
        if (!id.startsWith("0x") || id == "0x0") return {};
        runToEnd("xprop", {"-id", id, "WM_NAME"}, &name);
        return QString::fromUtf8(name).section('"', 1, 1);
    }

    QString display, systemBus, sessionBus;
    // The compositor's display when it is the desktop itself, for every process of this world.
    QString wayland;
    // Who every process of this world runs as; empty for the test's own user.
    QString user;

private:
    QStringList asUser(const QString& program, const QStringList& arguments) const {
        if (user.isEmpty()) return arguments;
        return QStringList{"--reuid=" + user, "--regid=" + user, "--clear-groups", "--", program} + arguments;
    }

    QString bus(const QString& type) {
        const QString config = path(type + ".conf");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) return {};
        file.write(QString("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\" "
                           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\"><busconfig><type>%1</type>"
                           "<listen>unix:path=%2</listen><auth>EXTERNAL</auth><servicedir>%3</servicedir>"
                           "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                       .arg(type, path(type + "_bus"), path("services"))
                       .toUtf8());
        file.close();
        QDir().mkpath(path("services"));
        // Only the services a desktop needs are started on demand: settings, no portals.
        for (const char* service : {"ca.desrt.dconf.service", "org.xfce.Xfconf.service"})
            QFile::copy(QString("/usr/share/dbus-1/services/") + service, path("services/") + service);
        QProcess* daemon = run("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
        return daemon->waitForReadyRead(5000) ? QString::fromLatin1(daemon->readLine()).trimmed() : QString();
    }

    QTemporaryDir folder;
    QList<QProcess*> processes;
};

// How often `pattern` stands in what `listener` heard so far.
int heard(QProcess* listener, QString& log, const QString& pattern) {
    log += QString::fromUtf8(listener->readAllStandardOutput());
    return int(log.count(QRegularExpression(pattern)));
}

// The bands of `area` in `image` that hold dark pixels (a menu's rows of text), top to bottom.
QList<QRect> darkRows(const QImage& image, const QRect& area) {
    QList<QRect> rows;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        bool dark = false;
        for (int x = area.left(); x <= area.right() && !dark; ++x) dark = qGray(image.pixel(x, y)) < 110;
        if (!dark) continue;
        if (!rows.isEmpty() && rows.last().bottom() == y - 1) rows.last().setBottom(y);
        else rows << QRect(area.left(), y, area.width(), 1);
    }
    return rows;
}

// The light box drawn around `inside` on a dark desktop (a menu where nothing is highlighted),
// as far as the row and the column through `inside` reach: text breaks a row of light pixels for
// a few pixels at a time, the desktop for long.
QRect lightBox(const QImage& image, QPoint inside) {
    const auto light = [&](QPoint at) { return image.rect().contains(at) && qGray(image.pixel(at)) > 200; };
    const auto reach = [&](QPoint from, QPoint step) {
        QPoint edge = from;
        for (int gap = 0; gap < 8;) {
            from += step;
            gap = light(from) ? 0 : gap + 1;
            if (!gap) edge = from;
        }
        return edge;
    };
    if (!light(inside)) return {};
    return QRect(QPoint(reach(inside, {-1, 0}).x(), reach(inside, {0, -1}).y()),
                 QPoint(reach(inside, {1, 0}).x(), reach(inside, {0, 1}).y()));
}

QString toString(const QRect& box) {
    return QString("%1x%2+%3+%4").arg(box.width()).arg(box.height()).arg(box.x()).arg(box.y());
}

// The top menu opened, as GNOME says it (the event "opened") and as XFCE does (AboutToShowGroup).
const QString rootClosed = "int32 0\\n\\s+string \"closed\"";
const QString rootOpened = "int32 0\\n\\s+string \"opened\"|member=AboutToShowGroup\\n\\s+array \\[\\n\\s+int32 0\\n";

} // namespace

class DesktopsTest : public QObject {
    Q_OBJECT

    static bool installed(const QString& program) {
        return QProcess::execute("sh", {"-c", "command -v " + program + " >/dev/null"}) == 0;
    }

    // Starts `world` and chooses the Shell's extensions; what is missing when it cannot.
    static QString prepareGnome(World& world, const QString& extensions) {
        if (!installed("gnome-shell") || !QDir("/usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com").exists())
            return "needs gnome-shell and gnome-shell-extension-appindicator";
        // The Shell wants a seat directory, as systemd-logind makes.
        if (!QDir().mkpath("/run/systemd/seats")) return "cannot make /run/systemd/seats";
        if (!world.start()) return "no X server or bus";
        world.runToEnd("gsettings", {"set", "org.gnome.shell", "disable-user-extensions", "false"});
        world.runToEnd("gsettings", {"set", "org.gnome.shell", "enabled-extensions", extensions});
        return {};
    }

    // The environment of a GNOME session in `world`.
    static QProcessEnvironment gnomeSession(const World& world) {
        QProcessEnvironment session = world.environment();
        session.insert("XDG_CURRENT_DESKTOP", "GNOME");
        return session;
    }

    // GNOME Shell nested on Wayland in the world's X server, its display "tarn-test"; false when
    // it did not come up.
    static bool startNestedGnome(World& world) {
        QProcessEnvironment shell = gnomeSession(world);
        shell.insert("MUTTER_DEBUG_DUMMY_MODE_SPECS", "1280x760");
        world.run("gnome-shell", {"--nested", "--wayland", "--no-x11", "--wayland-display=tarn-test"}, shell);
        return QTest::qWaitFor([&] { return QFile::exists(world.path("run/tarn-test")); }, 60000);
    }

    // The environment of a Wayland client of that Shell.
    static QProcessEnvironment nestedClient(const World& world) {
        QProcessEnvironment client = gnomeSession(world);
        client.remove("DISPLAY");
        client.insert("WAYLAND_DISPLAY", "tarn-test");
        return client;
    }

private Q_SLOTS:
    // GNOME Shell 43 with the AppIndicator extension on X11: every single click on the icon
    // opens the menu the Shell draws from Tarn's.
    void gnomeOpensTheMenuAtEveryClick() {
        World world;
        if (const QString missing = prepareGnome(world, "['ubuntu-appindicators@ubuntu.com']"); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        world.run("gnome-shell", {"--x11", "--replace", "--sm-disable"});
        QProcess* tarn = world.startTarn();
        QVERIFY(tarn);
        if (!world.panelUp()) QSKIP("the Shell did not come up here");
        QVERIFY(world.itemShown());
        QProcess* listener = world.listen();
        QTest::qWait(500);
        QString log;
        // Once the Shell answers a click at all (it starts in the overview, and places the icon
        // when it is ready), every single click opens the menu.
        auto closeMenu = [&] {
            const int opened = heard(listener, log, rootOpened);
            for (int attempt = 0; attempt < 5 && heard(listener, log, rootClosed) < opened; ++attempt) {
                world.key("Escape");
                if (QTest::qWaitFor([&] { return heard(listener, log, rootClosed) >= opened; }, 2000)) break;
            }
            return heard(listener, log, rootClosed) == opened;
        };
        bool ready = false;
        for (int attempt = 0; attempt < 10 && !ready; ++attempt) {
            world.key("Escape");
            world.click(1210, 15, 1); // the icon, left of the system menu
            ready = QTest::qWaitFor([&] { return heard(listener, log, rootOpened) >= 1; }, 3000);
        }
        QVERIFY2(ready && closeMenu(), qPrintable(log.right(3000)));
        const int before = heard(listener, log, rootOpened);
        for (int round = 1; round <= 3; ++round) {
            // A click while the menu still fades out is the Shell's to drop: one more, seconds
            // later (never a double click).
            bool opened = false;
            for (int click = 0; click < 2 && !opened; ++click) {
                QTest::qWait(1500);
                world.click(1210, 15, 1);
                opened = QTest::qWaitFor([&] { return heard(listener, log, rootOpened) == before + round; }, 5000);
            }
            QVERIFY2(opened, qPrintable(log.right(1000)));
            QVERIFY(closeMenu());
        }
        QCOMPARE(tarn->state(), QProcess::Running);
    }

    // GNOME Shell 43 on Wayland, the AppIndicator extension enabled while Tarn runs (after its
    // no-tray notice): the icon appears, a click opens the menu the Shell draws, and a pinned
    // folder's submenu and one below it open, at the first opening, stay open and hold their rows.
    void gnomeWaylandLateExtension() {
        World world;
        if (const QString missing = prepareGnome(world, "[]"); !missing.isEmpty()) QSKIP(qPrintable(missing));
        if (!startNestedGnome(world)) QSKIP("the Shell did not come up here");
        QProcess* tarn = world.startTarn("tarn-test");
        QVERIFY(tarn);
        QTest::qWait(3000);
        QVERIFY(!world.registeredItems()); // no tray yet
        world.runToEnd("gsettings", {"set", "org.gnome.shell", "enabled-extensions", "['ubuntu-appindicators@ubuntu.com']"});
        QVERIFY(world.panelUp());
        QVERIFY(world.itemShown());
        QProcess* listener = world.listen();
        QTest::qWait(1500);
        QString log;
        bool opened = false;
        for (int attempt = 0; attempt < 10 && !opened; ++attempt) {
            world.click(1210, 15, 1); // the icon, left of the system menu
            opened = QTest::qWaitFor([&] { return heard(listener, log, rootOpened) >= 1; }, 3000);
        }
        QVERIFY2(opened, qPrintable(log.right(1000)));
        QTest::qWait(1000);
        world.click(1100, 148, 1); // "code", under Search… and the Folders header
        const QString submenuOpened = "int32 [1-9][0-9]*\\n\\s+string \"opened\"";
        QTRY_VERIFY2_WITH_TIMEOUT(heard(listener, log, submenuOpened) >= 1, qPrintable(log.right(1000)), 10000);
        QTest::qWait(2000);
        // One level below: "data_pipeline", under the folder's three actions and "alpha".
        world.click(1100, 346, 1);
        QTRY_VERIFY2_WITH_TIMEOUT(heard(listener, log, submenuOpened) >= 2, qPrintable(log.right(1000)), 10000);
        QTest::qWait(2000);
        QCOMPARE(heard(listener, log, "int32 [1-9][0-9]*\\n\\s+string \"closed\""), 0);
        const auto openings = QRegularExpression("int32 ([0-9]+)\\n\\s+string \"opened\"").globalMatch(log);
        int deeper = 0;
        for (auto it = openings; it.hasNext();) deeper = it.next().captured(1).toInt();
        const QString rows = world.menuRows(deeper);
        QVERIFY2(rows.contains("\"data__pipeline\"") && rows.contains("\"README\""), qPrintable(rows));
        QCOMPARE(tarn->state(), QProcess::Running);
    }

    // GNOME 43 on Wayland has no shortcuts portal: Tarn's keys, once set up, are GNOME's own
    // custom shortcuts, written by Tarn at its start with the chosen presets, and a press of
    // one in the Shell reaches the running Tarn.
    void gnomeCustomShortcutsReachTarn() {
        World world;
        if (const QString missing = prepareGnome(world, "[]"); !missing.isEmpty()) QSKIP(qPrintable(missing));
        if (!QFile::exists("/usr/libexec/gsd-media-keys")) QSKIP("needs gnome-settings-daemon");
        const QString entries = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
        // Set up at an earlier start: Tarn's entry is listed.
        world.runToEnd("gsettings", {"set", "org.gnome.settings-daemon.plugins.media-keys", "custom-keybindings",
                                     "['" + entries + "tarn-quick-open/']"});
        if (!startNestedGnome(world)) QSKIP("the Shell did not come up here");
        world.run("/usr/libexec/gsd-media-keys", {}, gnomeSession(world));
        QProcess* tarn = world.startTarn("tarn-test", "GNOME");
        QVERIFY(tarn);
        auto setting = [&](const QString& schema, const QString& key) {
            QByteArray value;
            world.runToEnd("gsettings", {"get", schema, key}, &value);
            return QString::fromUtf8(value).trimmed();
        };
        const QString entry = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:" + entries;
        QTRY_COMPARE_WITH_TIMEOUT(setting(entry + "tarn-menu/", "binding"), QString("'<Control><Alt>m'"), 20000);
        QCOMPARE(setting(entry + "tarn-quick-open/", "binding"), QString("'<Control><Alt>space'"));
        QVERIFY(setting(entry + "tarn-quick-open/", "command").endsWith(" --quick-open\""));
        QCOMPARE(setting("org.gnome.settings-daemon.plugins.media-keys", "custom-keybindings"),
                 "['" + entries + "tarn-quick-open/', '" + entries + "tarn-menu/']");
        QProcess* listener = world.run("stdbuf", {"-oL", "dbus-monitor", "--address", world.sessionBus, "interface='org.tarn.Tarn'"});
        QTest::qWait(1500);
        QString log;
        world.click(640, 400, 1); // the keyboard to the Shell's window
        bool heardKey = false;
        for (int attempt = 0; attempt < 5 && !heardKey; ++attempt) {
            world.key("ctrl+alt+space");
            heardKey = QTest::qWaitFor([&] { return heard(listener, log, "member=QuickOpen") >= 1; }, 4000);
        }
        QVERIFY2(heardKey, qPrintable(log.right(1000)));
        QCOMPARE(tarn->state(), QProcess::Running);
    }

    // GNOME 43 on Wayland places every new window itself, the first in the middle, the others
    // first-fit from the top left: Quick Open still comes up in the middle of the screen, and a
    // click on a window beside it goes to that window and closes it; so does the menu of
    // `tarn --menu`, whose submenus open beside their rows when hovered.
    void gnomeWaylandCentresQuickOpenAndTheMenu() {
        World world;
        if (const QString missing = prepareGnome(world, "[]"); !missing.isEmpty()) QSKIP(qPrintable(missing));
        if (!installed("gjs")) QSKIP("needs gjs");
        if (!startNestedGnome(world)) QSKIP("the Shell did not come up here");
        QFile(world.path("run/tarn-told-no-tray")).open(QIODevice::WriteOnly); // told already, this session
        QProcess* tarn = world.startTarn("tarn-test", "GNOME");
        QVERIFY(tarn && world.tarnOnBus());
        QProcessEnvironment gtk = nestedClient(world);
        gtk.insert("GDK_BACKEND", "wayland");
        // The first window is centred, the second placed top left.
        world.run("gjs", {GTK_PROBE, "first"}, gtk);
        QTest::qWait(2000);
        world.run("gjs", {GTK_PROBE, "second"}, gtk);
        QTest::qWait(2000);
        world.click(640, 790, 1); // out of the overview the Shell starts in
        world.key("Escape");
        QTest::qWait(1000);
        QProcess start;
        start.setProcessEnvironment(nestedClient(world));
        start.start(TARN_BINARY, {"--quick-open"});
        QVERIFY(start.waitForFinished(10000) && start.exitCode() == 0);
        QTest::qWait(2000);
        const QString shot = world.path("quick-open.png");
        auto pixel = [&](int x, int y) { return QImage(shot).pixel(x, y); };
        QCOMPARE(world.runToEnd("import", {"-window", "root", shot}), 0);
        // The panel's light background in the middle; the desktop at the left edge, where a
        // window placed first-fit would be.
        QVERIFY2(qGray(pixel(640, 400)) > 200, qPrintable(shot));
        QVERIFY2(qGray(pixel(20, 400)) < 150, qPrintable(shot));
        world.click(100, 100, 1); // the second window
        QTest::qWait(1500);
        QCOMPARE(world.runToEnd("import", {"-window", "root", shot}), 0);
        QVERIFY2(qGray(pixel(640, 400)) < 150, "Quick Open stayed up after a click beside it");
        // The menu of `tarn --menu` in the middle too, and a submenu beside its row on hover.
        start.start(TARN_BINARY, {"--menu"});
        QVERIFY(start.waitForFinished(10000) && start.exitCode() == 0);
        QTest::qWait(1500);
        QCOMPARE(world.runToEnd("import", {"-window", "root", shot}), 0);
        QRect menu = lightBox(QImage(shot), {640, 400});
        menu = lightBox(QImage(shot), {menu.left() + 2, 400}); // down its margin, left of any text
        QVERIFY2(menu.width() > 150 && std::abs(menu.center().x() - 640) < 20 && std::abs(menu.center().y() - 400) < 40,
                 qPrintable(toString(menu)));
        const int code = menu.top() + 56; // under Search… and the Folders header
        for (int x = menu.left() + 20; x <= menu.left() + 80; x += 10) {
            world.runToEnd("xdotool", {"mousemove", QString::number(x), QString::number(code)});
            QTest::qWait(50);
        }
        QTest::qWait(1500);
        QCOMPARE(world.runToEnd("import", {"-window", "root", shot}), 0);
        const QRect submenu = lightBox(QImage(shot), {menu.right() + 3, code}); // left of its icons
        QVERIFY2(submenu.right() > menu.right() + 100 && submenu.top() <= code && submenu.height() > 100,
                 qPrintable(QString("menu %1, submenu %2").arg(toString(menu), toString(submenu))));
        QCOMPARE(tarn->state(), QProcess::Running);
    }

    // GNOME 43 on X11 (Mutter): a file opened from Quick Open with Shift opens its application
    // behind the window the user is in; opened plainly, in front.
    void gnomeX11OpensInTheBackgroundWithShift() {
        World world;
        if (const QString missing = prepareGnome(world, "[]"); !missing.isEmpty()) QSKIP(qPrintable(missing));
        if (!installed("gjs") || !installed("xmessage")) QSKIP("needs gjs and xmessage");
        const QString home = world.path("home");
        QDir().mkpath(home + "/.local/share/applications");
        QFile entry(home + "/.local/share/applications/probe.desktop");
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Probe\nExec=gjs " GTK_PROBE " %f\nMimeType=text/plain;\n");
        entry.close();
        QDir().mkpath(home + "/.config");
        QFile associations(home + "/.config/mimeapps.list");
        QVERIFY(associations.open(QIODevice::WriteOnly));
        associations.write("[Default Applications]\ntext/plain=probe.desktop\n");
        associations.close();
        QString favorites;
        for (const char* name : {"notes", "plan"}) {
            QFile file(home + "/" + name + ".txt");
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
            favorites += QString("%1{\"kind\": \"path\", \"value\": \"%2\", \"title\": \"%3\"}")
                             .arg(favorites.isEmpty() ? "" : ", ", file.fileName(), name);
        }
        world.run("gnome-shell", {"--x11", "--replace", "--sm-disable"});
        if (!QTest::qWaitFor([&] { return world.runToEnd("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}) == 0 &&
                                          world.runToEnd("xdotool", {"search", "--name", "mutter|gnome"}) == 0; }, 60000))
            QSKIP("the Shell did not come up here");
        QFile(world.path("run/tarn-told-no-tray")).open(QIODevice::WriteOnly); // told already, this session
        QProcess* tarn = world.startTarn(QString(), "GNOME", ", \"favorites\": [" + favorites + "]");
        QVERIFY(tarn);
        QVERIFY(world.tarnOnBus());
        world.run("xmessage", {"-geometry", "400x200+600+300", "Focus me"});
        QTest::qWait(3000);
        auto openFromQuickOpen = [&](const QString& query, const QString& keys) {
            world.key("Escape"); // the Shell's overview
            QByteArray found;
            world.runToEnd("xdotool", {"search", "--name", "Focus me"}, &found);
            world.runToEnd("xdotool", {"windowactivate", QString::fromLatin1(found).section('\n', 0, 0)});
            if (!QTest::qWaitFor([&] { return world.activeWindow() == "xmessage"; }, 10000)) {
                qWarning("not active: xmessage (%s)", qPrintable(world.activeWindow()));
                return false;
            }
            // Tarn's own hotkey: the time of its press lets the panel take the focus. Pressed
            // again while no panel came (on a loaded machine Tarn may not hold the key yet).
            bool shown = false;
            for (int attempt = 0; attempt < 5 && !shown; ++attempt) {
                if (world.runToEnd("xdotool", {"search", "--onlyvisible", "--name", "Quick Open"}) != 0)
                    world.key("ctrl+alt+space");
                shown = QTest::qWaitFor([&] { return world.activeWindow() == "Quick Open"; }, 4000);
            }
            if (!shown) return false;
            world.runToEnd("xdotool", {"type", query});
            QTest::qWait(500);
            world.key(keys);
            return QTest::qWaitFor([&] { return world.runToEnd("xdotool", {"search", "--name", "Probe " + query}) == 0; }, 15000);
        };
        QVERIFY(openFromQuickOpen("notes", "shift+Return"));
        QTest::qWait(2000);
        QCOMPARE(world.activeWindow(), QString("xmessage"));
        QVERIFY(openFromQuickOpen("plan", "Return"));
        QTRY_COMPARE_WITH_TIMEOUT(world.activeWindow(), QString("Probe plan.txt"), 5000);
        QCOMPARE(tarn->state(), QProcess::Running);
    }

    // The XFCE panel 4.18: a right click shows Tarn's exported menu (not the panel's own), a left
    // click Tarn's own menu.
    void xfceShowsTarnsMenus() {
        if (!installed("xfce4-panel") || !installed("xfwm4") || !installed("xfsettingsd")) QSKIP("needs xfce4-panel, xfwm4, xfce4-settings");
        World world;
        if (!world.start()) QSKIP("no X server or bus");
        // A panel of the tray alone, so that the icon's place does not hang on the clock or the
        // user's name.
        QDir().mkpath(world.path("home/.config/xfce4/xfconf/xfce-perchannel-xml"));
        QFile panel(world.path("home/.config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"));
        QVERIFY(panel.open(QIODevice::WriteOnly));
        panel.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/></property>
</channel>
)");
        panel.close();
        world.run("xfsettingsd", {"--no-daemon"});
        world.run("xfwm4", {"--compositor=off"});
        world.run("xfce4-panel", {});
        QProcess* tarn = world.startTarn();
        QVERIFY(tarn);
        if (!world.panelUp()) QSKIP("the panel did not come up here");
        QVERIFY(world.itemShown());
        QTest::qWait(2000); // the panel places the icon
        QProcess* listener = world.listen();
        QTest::qWait(500);
        QString log;
        world.click(14, 13, 3); // the icon, first in the tray
        QTRY_VERIFY2_WITH_TIMEOUT(heard(listener, log, rootOpened) >= 1, qPrintable(log.right(2000)), 10000);
        world.key("Escape");
        QTest::qWait(700);
        world.click(14, 13, 1);
        QTRY_VERIFY_WITH_TIMEOUT(world.runToEnd("xdotool", {"search", "--onlyvisible", "--classname", "tarn"}) == 0, 10000);
        QCOMPARE(tarn->state(), QProcess::Running);
    }

    // waybar 0.9 on sway 1.7, headless, run by a user of its own (sway refuses root): a right
    // click shows the exported menu, drawn by GTK, where "data_pipeline" keeps its underscore
    // and so reads otherwise than its neighbour "datapipeline", and a folder listed while its
    // submenu is open shows its files. Tarn's own menu opens its submenus beside their rows.
    void waybarDrawsTheExportedMenu() {
        if (!installed("sway") || !installed("waybar") || !installed("grim") || !installed("setpriv"))
            QSKIP("needs sway, waybar, grim");
        if (::geteuid() != 0) QSKIP("makes a user of its own: needs root");
        World world("tarn-desktops");
        QVERIFY(!world.user.isEmpty());
        if (!world.start(false)) QSKIP("no bus");
        QDir().mkpath(world.path("home/.config/waybar"));
        QFile bar(world.path("home/.config/waybar/config")), sway(world.path("sway.conf"));
        QVERIFY(bar.open(QIODevice::WriteOnly) && sway.open(QIODevice::WriteOnly));
        bar.write(R"({"layer": "top", "position": "top", "height": 26, "modules-left": ["tray"], "tray": {"icon-size": 16}})");
        sway.write("xwayland disable\nexec waybar\n");
        bar.close(), sway.close();
        QProcessEnvironment compositor = world.environment();
        compositor.insert("WLR_BACKENDS", "headless");
        compositor.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        compositor.insert("WLR_RENDERER", "pixman");
        world.run("sway", {"-c", world.path("sway.conf")}, compositor);
        if (!QTest::qWaitFor([&] { return QFile::exists(world.path("run/wayland-1")); }, 20000))
            QSKIP("sway did not come up here");
        world.wayland = "wayland-1";
        if (!world.panelUp()) QSKIP("waybar did not come up here");
        QProcess* tarn = world.startTarn("wayland-1");
        QVERIFY(tarn);
        QVERIFY(world.itemShown());
        QTest::qWait(1500); // waybar places the icon
        QProcess* listener = world.listen();
        QTest::qWait(500);
        QString log;
        // Headless sway has no pointer: a virtual one clicks, on the 1280x720 output.
        const auto click = [&](int x, int y, int button) {
            world.runToEnd("/usr/bin/python3", {WL_POINTER, QString::number(x), QString::number(y), QString::number(button), "1280", "720"});
        };
        click(18, 13, 3); // the icon, first in the bar
        QTRY_VERIFY2_WITH_TIMEOUT(heard(listener, log, rootOpened) >= 1, qPrintable(log.right(2000)), 10000);
        QTest::qWait(1000);
        click(90, 77, 1); // "code", under Search… and the Folders header
        QTest::qWait(1500);
        const QString shot = world.path("menu.png");
        QCOMPARE(world.runToEnd("grim", {"-g", "0,0 640x400", shot}), 0);
        // The names in the pinned folder's submenu, right of the menu: its last two rows.
        const QList<QRect> rows = darkRows(QImage(shot), QRect(300, 66, 130, 144));
        QVERIFY2(rows.size() >= 6, qPrintable(shot));
        const QRect underscored = rows[rows.size() - 2], plain = rows.last();
        const int height = std::max(underscored.height(), plain.height());
        const QImage image(shot);
        QVERIFY2(image.copy(underscored.adjusted(0, 0, 0, height - underscored.height())) !=
                     image.copy(plain.adjusted(0, 0, 0, height - plain.height())),
                 "\"data_pipeline\" is drawn as \"datapipeline\"");
        // Two levels below: "src" in "data_pipeline", listed after it opened: its file replaces
        // the greyed "Loading…" while it stays open.
        click(330, 174, 1);
        QTest::qWait(1000);
        click(530, 248, 1);
        QTest::qWait(2000);
        QCOMPARE(world.runToEnd("grim", {"-g", "0,0 1000x450", shot}), 0);
        QVERIFY2(!darkRows(QImage(shot), QRect(680, 238, 80, 20)).isEmpty(), "\"src\" shows no file");
        click(1000, 600, 1); // the menu closes
        // The menu of `tarn --menu`: a submenu opens on hover beside its row, not as a window of
        // its own that sway places over the menu.
        QCOMPARE(world.runToEnd(TARN_BINARY, {"--menu"}), 0);
        QTest::qWait(1500);
        QCOMPARE(world.runToEnd("grim", {"-g", "0,0 1280x720", shot}), 0);
        QRect menu = lightBox(QImage(shot), {640, 360});
        menu = lightBox(QImage(shot), {menu.left() + 2, 360}); // down its margin, left of any text
        QVERIFY2(menu.width() > 150, qPrintable(toString(menu)));
        const int code = menu.top() + 56; // under Search… and the Folders header
        QProcessEnvironment glide = world.environment();
        glide.insert("WL_POINTER_GLIDE", "1");
        glide.insert("WL_POINTER_HOLD", "3");
        world.run("/usr/bin/python3", {WL_POINTER, QString::number(menu.left() + 80), QString::number(code), "0", "1280", "720"}, glide);
        QTest::qWait(2000);
        QCOMPARE(world.runToEnd("grim", {"-g", "0,0 1280x720", shot}), 0);
        const QRect submenu = lightBox(QImage(shot), {menu.right() + 3, code}); // left of its icons
        QVERIFY2(submenu.right() > menu.right() + 100 && submenu.top() <= code && submenu.height() > 100,
                 qPrintable(QString("menu %1, submenu %2").arg(toString(menu), toString(submenu))));
        click(1000, 600, 1); // the menu closes
        // Quick Open, in the middle of the output, stays up while a second keyboard comes and goes.
        QProcessEnvironment keyboard = world.environment();
        keyboard.insert("WL_KEYBOARD_HOLD", "600");
        world.run("/usr/bin/python3", {WL_POINTER, "keyboard"}, keyboard); // the user's own
        QTest::qWait(1000);
        QCOMPARE(world.runToEnd(TARN_BINARY, {"--quick-open"}), 0);
        QTest::qWait(1500);
        const auto quickOpenShown = [&] {
            return world.runToEnd("grim", {"-g", "0,0 1280x720", shot}) == 0 && qGray(QImage(shot).pixel(640, 360)) > 200;
        };
        QVERIFY2(quickOpenShown(), "Quick Open did not come up");
        QCOMPARE(world.runToEnd("/usr/bin/python3", {WL_POINTER, "keyboard"}), 0);
        QTest::qWait(1500);
        QVERIFY2(quickOpenShown(), "Quick Open closed when a keyboard came");
        QCOMPARE(tarn->state(), QProcess::Running);
    }
};

TARN_TEST(DesktopsTest)
#include "DesktopsTest.moc"
