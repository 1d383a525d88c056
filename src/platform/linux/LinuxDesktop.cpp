#include "platform/linux/LinuxDesktop.h"

#include "platform/ChildProcess.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/linux/DesktopEntry.h"
#include "platform/linux/X11ServerTime.h"
#include "platform/linux/X11StartupNotification.h"

// GLib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTimer>
#include <memory>
#include <unistd.h>

namespace tarn {

namespace {

constexpr int revealTimeout = 5000;
constexpr int notifyTimeout = 10000;

struct GObjectRelease {
    void operator()(gpointer object) const {
        if (object) g_object_unref(object);
    }
};
template <typename T>
using GOwned = std::unique_ptr<T, GObjectRelease>;

QString fromUtf8(const char* text) { return text ? QString::fromUtf8(text) : QString(); }

QString takeError(GError* error) {
    const QString message = error ? QString::fromUtf8(error->message) : QString();
    if (error) g_error_free(error);
    return message;
}

// The application of a desktop entry file; none when GIO refuses it (unreadable, Hidden,
// or a TryExec program that is not installed).
GOwned<GDesktopAppInfo> applicationAt(const QString& desktopFile) {
    return GOwned<GDesktopAppInfo>(g_desktop_app_info_new_from_filename(QFile::encodeName(desktopFile).constData()));
}

QString fileOf(GAppInfo* application) {
    if (!G_IS_DESKTOP_APP_INFO(application)) return QString();
    return QFile::decodeName(g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(application)));
}

OfferedApplication offered(GAppInfo* application, const ApplicationInstall& install) {
    QString icon;
    if (G_IS_DESKTOP_APP_INFO(application)) {
        gchar* name = g_desktop_app_info_get_string(G_DESKTOP_APP_INFO(application), "Icon");
        icon = fromUtf8(name);
        g_free(name);
    }
    return {install, fromUtf8(g_app_info_get_name(application)), icon};
}

// A URI as GIO hands it on: a file by its path's bytes, so a name that is not UTF-8 reaches
// the application as it is on disk.
QByteArray uriOf(const QUrl& url) {
    if (!url.isLocalFile()) return url.toEncoded();
    gchar* uri = g_filename_to_uri(localPath(url).constData(), nullptr, nullptr);
    const QByteArray encoded = uri ? QByteArray(uri) : url.toEncoded();
    g_free(uri);
    return encoded;
}

// The started application's first step in its child process: its own session, so that it
// outlives Tarn and never gets Tarn's signals, and the home folder as its working folder unless
// its entry names one.
void childSetup(gpointer homeFolder) {
    ::setsid();
    if (homeFolder && ::chdir(static_cast<const char*>(homeFolder)) != 0) {
        // Staying in Tarn's folder is the only alternative.
    }
}

// The startup id an application gets on X11: with the server's time now, its first window
// may take the focus past focus-stealing prevention; with time zero (in the background) it asks
// not to, and opens behind the window the user is in. None without X11: Wayland has no such
// request, and a window opened without an activation token is left to the compositor.
// The window manager is told of the startup sequence the id stands for, with that time, until
// the application is up (GTK ends it when its first window maps) or `startupTimeout` passes.
struct Startup {
    QByteArray id;
    quint32 time = 0;
};

std::optional<Startup> startupID(bool background) {
    static int launches = 0;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return std::nullopt;
    const std::optional<quint32> time = background ? std::optional<quint32>(0) : X11ServerTime::now();
    if (!time) return std::nullopt;
    return Startup{
        QStringLiteral("tarn-%1-%2_TIME%3").arg(QCoreApplication::applicationPid()).arg(++launches).arg(*time).toUtf8(),
        *time};
}

constexpr int startupTimeout = 15000; // ms, as desktops end a sequence nobody ended

// Announces the sequence of `startup` for the application `name`; the returned function ends
// it at once (the launch failed), else it ends by itself after the time-out.
std::function<void()> announce(const std::optional<Startup>& startup, const QString& name) {
    if (!startup) return [] {};
    X11StartupNotification::begin(startup->id, name, startup->time);
    QTimer::singleShot(startupTimeout, QCoreApplication::instance(), [id = startup->id] { X11StartupNotification::end(id); });
    return [id = startup->id] { X11StartupNotification::end(id); };
}

// A D-Bus activated application that failed to start, told of as a failure to open is.
void launchedOverDBus(GObject* application, GAsyncResult* result, gpointer) {
    GError* error = nullptr;
    if (g_app_info_launch_uris_finish(G_APP_INFO(application), result, &error)) return;
    const QString name = QString::fromUtf8(g_app_info_get_display_name(G_APP_INFO(application)));
    const QString reason = takeError(error);
    QMetaObject::invokeMethod(QCoreApplication::instance(), [name, reason] {
        platform().dialogs().warn(QString::fromUtf8("Couldn\u2019t open"),
                                  QString::fromUtf8("\u201C%1\u201D could not be started: %2").arg(name, reason));
    });
}

bool dbusActivatable(GAppInfo* application) {
    return G_IS_DESKTOP_APP_INFO(application) &&
           g_desktop_app_info_get_boolean(G_DESKTOP_APP_INFO(application), "DBusActivatable");
}

// Starts `application` with `urls` the way the desktop does: field codes, Terminal=true,
// DBusActivatable and the entry's working folder come from GIO. An application started over
// D-Bus is known to have failed only later (GIO's plain launch says it succeeded, and its
// launch-failed signal needs a startup id): that failure is shown when it comes.
std::optional<QString> launch(GAppInfo* application, const QList<QUrl>& urls, bool background) {
    GOwned<GAppLaunchContext> context(g_app_launch_context_new());
    // A started application must not inherit Tarn's own startup notification.
    g_app_launch_context_unsetenv(context.get(), "DESKTOP_STARTUP_ID");
    g_app_launch_context_unsetenv(context.get(), "XDG_ACTIVATION_TOKEN");
    // An application started over D-Bus gets no startup id (no launch context reaches it), so no
    // sequence is announced for it.
    const bool overDBus = dbusActivatable(application);
    const std::optional<Startup> startup = overDBus ? std::nullopt : startupID(background);
    if (startup) g_app_launch_context_setenv(context.get(), "DESKTOP_STARTUP_ID", startup->id.constData());
    const auto failed = announce(startup, QString::fromUtf8(g_app_info_get_display_name(application)));
    QList<QByteArray> uris;
    GList* list = nullptr;
    for (const QUrl& url : urls) uris << uriOf(url);
    for (QByteArray& uri : uris) list = g_list_append(list, uri.data());
    QByteArray home = QFile::encodeName(QDir::homePath());
    gchar* path = G_IS_DESKTOP_APP_INFO(application)
                      ? g_desktop_app_info_get_string(G_DESKTOP_APP_INFO(application), "Path")
                      : nullptr;
    const bool ownFolder = path && *path;
    g_free(path);
    GError* error = nullptr;
    gboolean started = FALSE;
    if (overDBus) {
        // Without a context: GIO would hand it a failure with no startup id, which it rejects.
        g_app_info_launch_uris_async(application, list, nullptr, nullptr, launchedOverDBus, nullptr);
        started = TRUE;
    } else if (G_IS_DESKTOP_APP_INFO(application))
        started = g_desktop_app_info_launch_uris_as_manager(G_DESKTOP_APP_INFO(application), list, context.get(),
                                                            G_SPAWN_SEARCH_PATH, childSetup,
                                                            ownFolder ? nullptr : home.data(), nullptr, nullptr,
                                                            &error);
    else
        started = g_app_info_launch_uris(application, list, context.get(), &error);
    g_list_free(list);
    if (started) return std::nullopt;
    failed();
    const QString reason = takeError(error);
    return reason.isEmpty() ? QStringLiteral("The application could not be started.") : reason;
}

GOwned<GAppInfo> defaultFor(const QUrl& url) {
    if (!url.isLocalFile())
        return GOwned<GAppInfo>(g_app_info_get_default_for_uri_scheme(url.scheme().toLower().toUtf8().constData()));
    return GOwned<GAppInfo>(g_app_info_get_default_for_type(LinuxDesktop::mimeTypeOf(url).toUtf8().constData(), FALSE));
}

// Starts `arguments` (the program first) detached in `folder`; none or the reason it failed.
// For what GIO has no entry for: a launcher found without a desktop entry, and terminals.
std::optional<QString> start(QStringList arguments, const QString& folder = QString(), bool background = false) {
    if (arguments.isEmpty()) return QStringLiteral("The application has no command to start it.");
    QString program = arguments.takeFirst();
    if (!program.startsWith('/')) program = QStandardPaths::findExecutable(program);
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        return QStringLiteral("The program of the application was not found.");
    // A started application must not inherit our startup notification.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
    environment.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
    const std::optional<Startup> startup = startupID(background);
    if (startup) environment.insert(QStringLiteral("DESKTOP_STARTUP_ID"), QString::fromUtf8(startup->id));
    const auto failed = announce(startup, QFileInfo(program).fileName());
    const std::optional<QString> reason = startDetachedProcess(program, arguments, folder, environment.toStringList());
    if (reason) failed();
    return reason;
}

// The argument each terminal takes for its working directory; the folder is also the
// process's own working directory, which is enough for the others.
QStringList terminalArguments(const QString& program, const QString& folder) {
    const QString name = QFileInfo(program).baseName(); // "gnome-terminal.wrapper" too
    if (name == "gnome-terminal" || name == "xfce4-terminal" || name == "mate-terminal" ||
        name == "tilix" || name == "terminator" || name == "ptyxis" || name == "foot" ||
        name == "kgx" || name == "lxterminal")
        return {"--working-directory=" + folder};
    if (name == "konsole") return {"--workdir", folder};
    if (name == "kitty") return {"--directory", folder};
    if (name == "alacritty") return {"--working-directory", folder};
    if (name == "wezterm") return {"start", "--cwd", folder};
    if (name == "ghostty") return {"--working-directory=" + folder};
    return {};
}

// A string as a desktop entry's value holds it: backslash and control characters escaped, a
// leading blank kept.
QString escapedValue(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == '\\') out += QLatin1String("\\\\");
        else if (c == '\n') out += QLatin1String("\\n");
        else if (c == '\t') out += QLatin1String("\\t");
        else if (c == '\r') out += QLatin1String("\\r");
        else out += c;
    }
    if (out.startsWith(' ')) out.replace(0, 1, QStringLiteral("\\s"));
    return out;
}

// One argument of an Exec line: percent signs doubled, and quoted when it holds a character
// the Exec rules reserve, with ", `, $ and \ escaped inside the quotes.
QString execArgument(QString argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    argument.replace('%', QLatin1String("%%"));
    bool quote = argument.isEmpty();
    for (const QChar c : argument) quote = quote || reserved.contains(c);
    if (!quote) return argument;
    QString out = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace

QString LinuxDesktop::mimeTypeOf(const QUrl& url) {
    if (!url.isLocalFile()) return "x-scheme-handler/" + url.scheme().toLower();
    return QMimeDatabase().mimeTypeForFile(url.toLocalFile()).name();
}

std::optional<QString> LinuxDesktop::openURL(const QUrl& url, bool background) {
    const QString name = url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.toString();
    if (url.isLocalFile() && !existsAt(localPath(url)))
        return QStringLiteral("“%1” does not exist.").arg(name);
    const GOwned<GAppInfo> application = defaultFor(url);
    if (!application) return QStringLiteral("No application is set to open “%1” (%2).").arg(name, mimeTypeOf(url));
    return launch(application.get(), {url}, background);
}

std::optional<QString> LinuxDesktop::openWith(const QList<QUrl>& urls, const ApplicationInstall& install,
                                              bool background) {
    if (install.desktopEntry) {
        if (const GOwned<GDesktopAppInfo> application = applicationAt(*install.desktopEntry))
            return launch(G_APP_INFO(application.get()), urls, background);
    }
    if (!install.launcher) return QStringLiteral("The application has no command to start it.");
    QStringList arguments{*install.launcher};
    for (const QUrl& url : urls)
        arguments << (url.isLocalFile() ? fileArgument(localPath(url)) : QString::fromUtf8(url.toEncoded()));
    return start(arguments, QString(), background);
}

std::optional<QString> LinuxDesktop::openTerminal(const QString& folder, const ApplicationInstall& install) {
    if (!install.launcher) return QStringLiteral("The terminal has no command to start it.");
    const QString program = QFileInfo(*install.launcher).canonicalFilePath().isEmpty()
                                ? *install.launcher
                                : QFileInfo(*install.launcher).canonicalFilePath();
    return start(QStringList{*install.launcher} + terminalArguments(program, folder), folder);
}

QString LinuxDesktop::fileManagerName() {
    const GOwned<GAppInfo> manager(g_app_info_get_default_for_type("inode/directory", FALSE));
    const QString name = manager ? fromUtf8(g_app_info_get_name(manager.get())).trimmed() : QString();
    return name.isEmpty() ? QStringLiteral("File Manager") : name;
}

QString LinuxDesktop::autostartFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart/tarn.desktop";
}

bool LinuxDesktop::launchesAtLogin() {
    const std::optional<DesktopEntry> entry = DesktopEntry::read(autostartFile());
    return entry && !entry->hidden;
}

std::optional<QString> LinuxDesktop::setLaunchAtLogin(bool enabled) {
    const QString file = autostartFile();
    if (!enabled) {
        QFile entry(file);
        if (!entry.exists() || entry.remove()) return std::nullopt;
        return entry.errorString();
    }
    // The program by its absolute path: the autostart session has its own search path.
    const QByteArray contents = autostartEntry(QCoreApplication::applicationFilePath());
    QDir().mkpath(QFileInfo(file).path());
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(contents) >= 0 && out.commit()) return std::nullopt;
    return out.errorString();
}

QByteArray LinuxDesktop::autostartEntry(const QString& program) {
    // TryExec: once Tarn is removed, the session skips the entry instead of failing at every login.
    // GIO looks for the Exec line's program before it undoes "%%", so a path with a percent
    // sign is started through env.
    const QString exec = (program.contains('%') ? QStringLiteral("env ") : QString()) + execArgument(program);
    return "[Desktop Entry]\nType=Application\nName=Tarn\n"
           "Comment=Launcher for developers in the system tray\nTryExec=" +
           escapedValue(program).toUtf8() + "\nExec=" + escapedValue(exec).toUtf8() +
           "\nIcon=tarn\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

std::optional<QString> LinuxDesktop::reveal(const QUrl& url) {
    // The file manager's own interface selects the item; without one, its folder is opened.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QString::fromUtf8(url.toEncoded())} << QString(); // a URI, encoded
    // Asynchronous, so that a file manager D-Bus has to start first (or one that hangs) never
    // holds up the menu; when there is none, or it fails, the folder is opened instead, and a
    // failure of that is shown as the other openings show theirs.
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, revealTimeout));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [url](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (!done->isError()) return;
        const QUrl folder = url.adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash);
        if (const std::optional<QString> failed = LinuxDesktop().openURL(folder, false))
            platform().dialogs().warn(QString::fromUtf8("Couldn\u2019t open"), *failed);
    });
    return std::nullopt;
}

void LinuxDesktop::notify(const QString& summary, const QString& body, std::function<void()> notShown) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Tarn") << 0u << QStringLiteral("tarn") << summary << body << QStringList()
         << QVariantMap() << -1;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, notifyTimeout));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [notShown = std::move(notShown)](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         if (done->isError() && notShown) notShown();
                     });
}

OfferedApplication LinuxDesktop::describe(const ApplicationInstall& install) {
    const QString file = install.desktopEntry.value_or(install.location);
    if (file.endsWith(QLatin1String(".desktop")))
        if (const GOwned<GDesktopAppInfo> application = applicationAt(file))
            return offered(G_APP_INFO(application.get()), install);
    return {install, QFileInfo(install.launcher.value_or(install.location)).fileName(), QString()};
}

QList<OfferedApplication> LinuxDesktop::applicationsFor(const QUrl& url) {
    QList<OfferedApplication> found;
    QStringList files;
    auto add = [&](GAppInfo* application) {
        const QString file = fileOf(application);
        if (file.isEmpty() || files.contains(file)) return;
        files << file;
        // The program the entry starts, so that an install found otherwise is recognised in it.
        std::optional<QString> program;
        if (const std::optional<DesktopEntry> entry = DesktopEntry::read(file)) {
            QString path = entry->program();
            if (!path.isEmpty() && !path.startsWith('/')) path = QStandardPaths::findExecutable(path);
            const QString real = QFileInfo(path).canonicalFilePath();
            if (!real.isEmpty()) program = real;
        }
        found << offered(application, {file, program, file});
    };
    if (const GOwned<GAppInfo> preferred = defaultFor(url)) add(preferred.get());
    GList* all = g_app_info_get_all_for_type(mimeTypeOf(url).toUtf8().constData());
    for (GList* item = all; item; item = item->next) add(G_APP_INFO(item->data));
    g_list_free_full(all, g_object_unref);
    return found;
}

} // namespace tarn
