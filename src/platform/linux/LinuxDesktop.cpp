#include "platform/linux/LinuxDesktop.h"

#include "platform/ChildProcess.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/linux/DesktopEntry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

namespace tarn {

namespace {

constexpr int revealTimeout = 5000;

QStringList applicationFolders() {
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

// mimeapps.list files, most important first.
QStringList associationFiles() {
    QStringList files;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        files << folder + "/mimeapps.list";
    for (const QString& folder : applicationFolders()) files << folder + "/mimeapps.list";
    return files;
}

// The desktop ids a key-file group lists for `mimeType` ("a.desktop;b.desktop;").
QStringList idsIn(const QString& file, const QString& group, const QString& mimeType) {
    const std::optional<QByteArray> bytes = readRegularFileBytes(file, smallConfigLimit);
    if (!bytes) return {};
    bool inGroup = false;
    for (const QByteArray& raw : bytes->split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[')) {
            inGroup = line == '[' + group + ']';
            continue;
        }
        if (!inGroup || !line.startsWith(mimeType + '=')) continue;
        return line.mid(mimeType.size() + 1).split(';', Qt::SkipEmptyParts);
    }
    return {};
}

std::optional<QString> desktopFile(const QString& id) {
    for (const QString& folder : applicationFolders()) {
        const QString path = folder + '/' + id;
        if (QFileInfo(path).isFile()) return path;
    }
    return std::nullopt;
}

QString programPath(const QString& program) {
    if (program.startsWith('/')) return program;
    return QStandardPaths::findExecutable(program);
}

// Starts `arguments` (the program first) detached in `folder`; none or the reason it failed.
std::optional<QString> start(QStringList arguments, const QString& folder = QString()) {
    if (arguments.isEmpty()) return QStringLiteral("The application has no command to start it.");
    const QString program = programPath(arguments.takeFirst());
    if (program.isEmpty() || !QFileInfo(program).isExecutable())
        return QStringLiteral("The program of the application was not found.");
    // A started application must not inherit our startup notification.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
    return startDetachedProcess(program, arguments, folder, environment.toStringList());
}

// A file as the path it is on disk, byte for byte; anything else as its URL.
QString argumentFor(const QUrl& url) { return url.isLocalFile() ? fileArgument(localPath(url)) : url.toString(); }

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

} // namespace

QString LinuxDesktop::mimeTypeOf(const QUrl& url) {
    if (!url.isLocalFile()) return "x-scheme-handler/" + url.scheme().toLower();
    return QMimeDatabase().mimeTypeForFile(url.toLocalFile()).name();
}

QStringList LinuxDesktop::desktopFilesFor(const QString& mimeType) {
    QStringList types{mimeType};
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    if (type.isValid()) types << type.allAncestors();
    QStringList found;
    auto add = [&](const QStringList& ids) {
        for (const QString& id : ids) {
            const std::optional<QString> file = desktopFile(id);
            if (file && !found.contains(*file)) found << *file;
        }
    };
    for (const QString& candidate : types) {
        for (const QString& file : associationFiles()) add(idsIn(file, "Default Applications", candidate));
        for (const QString& file : associationFiles()) add(idsIn(file, "Added Associations", candidate));
        for (const QString& folder : applicationFolders())
            add(idsIn(folder + "/mimeinfo.cache", "MIME Cache", candidate));
    }
    // Entries installed without updating the cache (common in ~/.local/share/applications)
    // say what they open themselves.
    for (const QString& folder : applicationFolders()) {
        for (const QString& name : QDir(folder).entryList({"*.desktop"}, QDir::Files, QDir::Name)) {
            const QString path = folder + '/' + name;
            if (found.contains(path)) continue;
            const std::optional<DesktopEntry> entry = DesktopEntry::read(path);
            if (!entry) continue;
            for (const QString& candidate : types) {
                if (!entry->mimeTypes.contains(candidate)) continue;
                if (desktopFile(name) == path) found << path; // not shadowed by an earlier folder
                break;
            }
        }
    }
    return found;
}

std::optional<QString> LinuxDesktop::openURL(const QUrl& url, bool) {
    const QString name = url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.toString();
    if (url.isLocalFile() && !existsAt(localPath(url)))
        return QStringLiteral("“%1” does not exist.").arg(name);
    const QString type = mimeTypeOf(url);
    for (const QString& file : desktopFilesFor(type)) {
        const std::optional<DesktopEntry> entry = DesktopEntry::read(file);
        if (!entry || entry->hidden) continue;
        return start(entry->arguments({argumentFor(url)}));
    }
    return QStringLiteral("No application is set to open “%1” (%2).").arg(name, type);
}

std::optional<QString> LinuxDesktop::openWith(const QList<QUrl>& urls, const ApplicationInstall& install,
                                              bool) {
    QStringList files;
    for (const QUrl& url : urls) files << argumentFor(url);
    if (install.desktopEntry) {
        if (const std::optional<DesktopEntry> entry = DesktopEntry::read(*install.desktopEntry)) {
            const QStringList arguments = entry->arguments(files);
            // An Exec line without a field code takes no files; hand them on anyway.
            const bool takesFiles = entry->exec.contains(QRegularExpression("%[fFuU]"));
            return start(takesFiles ? arguments : arguments + files);
        }
    }
    if (install.launcher) return start(QStringList{*install.launcher} + files);
    return QStringLiteral("The application has no command to start it.");
}

std::optional<QString> LinuxDesktop::openTerminal(const QString& folder, const ApplicationInstall& install) {
    if (!install.launcher) return QStringLiteral("The terminal has no command to start it.");
    const QString program = QFileInfo(*install.launcher).canonicalFilePath().isEmpty()
                                ? *install.launcher
                                : QFileInfo(*install.launcher).canonicalFilePath();
    return start(QStringList{*install.launcher} + terminalArguments(program, folder), folder);
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
    QString program = QCoreApplication::applicationFilePath();
    program.replace('\\', QLatin1String("\\\\")).replace(' ', QLatin1String("\\s"));
    const QByteArray contents = "[Desktop Entry]\nType=Application\nName=Tarn\n"
                                "Comment=Launcher for developers in the system tray\nExec=" +
                                program.toUtf8() + "\nIcon=tarn\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    QDir().mkpath(QFileInfo(file).path());
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(contents) >= 0 && out.commit()) return std::nullopt;
    return out.errorString();
}

std::optional<QString> LinuxDesktop::reveal(const QUrl& url) {
    // The file manager's own interface selects the item; without one, its folder is opened.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{url.toString()} << QString();
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

OfferedApplication LinuxDesktop::describe(const ApplicationInstall& install) {
    const QString file = install.desktopEntry.value_or(install.location);
    if (file.endsWith(QLatin1String(".desktop")))
        if (const std::optional<DesktopEntry> entry = DesktopEntry::read(file))
            return {install, entry->name, entry->icon};
    return {install, QFileInfo(install.launcher.value_or(install.location)).fileName(), QString()};
}

QList<OfferedApplication> LinuxDesktop::applicationsFor(const QUrl& url) {
    QList<OfferedApplication> offered;
    for (const QString& file : desktopFilesFor(mimeTypeOf(url))) {
        const std::optional<DesktopEntry> entry = DesktopEntry::read(file);
        if (!entry || entry->hidden || entry->exec.isEmpty()) continue;
        offered << OfferedApplication{{file, std::nullopt, file}, entry->name, entry->icon};
    }
    return offered;
}

} // namespace tarn
