#include "platform/linux/LinuxApplications.h"

#include "platform/linux/DesktopEntry.h"

#include <QDir>
#include <QFileInfo>
#include <QDateTime>
#include <QStandardPaths>

namespace tarn {

struct LinuxApplications::Row {
    QString bundleID;
    QStringList folders;    // install folders; "~/" is the home folder
    QString launcher;       // the command-line launcher, relative to an install folder
    QStringList snaps;      // snap names; the launcher is /snap/bin/<snapCommand>
    QString snapCommand;
    QStringList flatpaks;   // flatpak application ids
    QStringList desktopIDs; // desktop entry names without ".desktop"
    QStringList appImages;  // wildcards for AppImage file names, any letter case
    QStringList commands;   // programs on the search path that stand for the application
};

namespace {

using Row = LinuxApplications::Row;

// The Linux installs of the supported editors and terminals. Nova, Xcode and iTerm have no
// Linux build: their rows find nothing. "Terminal" stands for the desktop's own terminal.
const QList<Row>& rows() {
    static const QList<Row> table{
        {"com.microsoft.VSCode",
         {"/usr/share/code", "/opt/visual-studio-code", "/opt/VSCode-linux-x64", "~/.local/share/code",
          "~/VSCode-linux-x64"},
         "bin/code", {"code"}, "code", {"com.visualstudio.code"},
         {"code", "visual-studio-code", "com.visualstudio.code", "code_code"}, {}, {"code"}},
        {"com.microsoft.VSCodeInsiders",
         {"/usr/share/code-insiders", "/opt/visual-studio-code-insiders", "~/VSCode-linux-x64-insiders"},
         "bin/code-insiders", {"code-insiders"}, "code-insiders", {"com.visualstudio.code.insiders"},
         {"code-insiders", "code-insiders_code-insiders"}, {}, {"code-insiders"}},
        {"com.vscodium",
         {"/usr/share/codium", "/opt/vscodium-bin", "/opt/vscodium", "~/.local/share/codium"},
         "bin/codium", {"codium"}, "codium", {"com.vscodium.codium"},
         {"codium", "com.vscodium.codium", "codium_codium"}, {"vscodium*.appimage"}, {"codium"}},
        {"com.todesktop.230313mzl4w4u92",
         {"/usr/share/cursor", "/opt/cursor", "/opt/Cursor", "~/.local/share/cursor"},
         "bin/cursor", {}, {}, {}, {"cursor", "co.anysphere.cursor"}, {"cursor*.appimage"},
         {"cursor"}},
        {"com.exafunction.windsurf",
         {"/usr/share/windsurf", "/opt/windsurf", "/opt/Windsurf", "~/.local/share/windsurf"},
         "bin/windsurf", {}, {}, {}, {"windsurf"}, {"windsurf*.appimage"}, {"windsurf"}},
        {"dev.zed.Zed", {"~/.local/zed.app", "/usr/lib/zed", "/opt/zed"}, "bin/zed", {"zed"}, "zed",
         {"dev.zed.Zed"}, {"dev.zed.Zed", "zed"}, {"zed*.appimage"}, {"zed", "zeditor", "zedit"}},
        {"com.sublimetext.4", {"/opt/sublime_text"}, "sublime_text", {"sublime-text"}, "subl",
         {"com.sublimetext.three"}, {"sublime_text", "sublime-text", "com.sublimetext.three"}, {},
         {"subl"}},
        {"com.panic.Nova", {}, {}, {}, {}, {}, {}, {}, {}},
        {"com.apple.dt.Xcode", {}, {}, {}, {}, {}, {}, {}, {}},
        // The desktop's terminal: Debian's alternative first, then the terminals of the usual
        // desktops, then the flatpaks of those (their export wrappers), then xterm.
        {"com.apple.Terminal", {}, {}, {}, {}, {}, {}, {},
         {"x-terminal-emulator", "ptyxis", "gnome-terminal", "kgx", "konsole", "xfce4-terminal",
          "mate-terminal", "lxterminal", "tilix", "terminator", "wezterm", "alacritty", "kitty",
          "foot", "org.gnome.Ptyxis", "org.gnome.Console", "com.gexperts.Tilix",
          "org.wezfurlong.wezterm", "io.alacritty.Alacritty", "xterm"}},
        {"com.googlecode.iterm2", {}, {}, {}, {}, {}, {}, {}, {}},
        {"com.mitchellh.ghostty", {}, {}, {"ghostty"}, "ghostty", {"com.mitchellh.ghostty"},
         {"com.mitchellh.ghostty", "ghostty"}, {"ghostty*.appimage"}, {"ghostty"}},
        {"dev.warp.Warp-Stable", {"/opt/warpdotdev/warp-terminal"}, "warp", {}, {}, {},
         {"dev.warp.Warp", "warp-terminal"}, {"warp*.appimage"}, {"warp-terminal"}},
    };
    return table;
}

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// Wildcards of the table have one "*" at most: a prefix and a suffix, any letter case.
bool matchesAnyWildcard(const QString& fileName, const QStringList& wildcards) {
    for (const QString& wildcard : wildcards) {
        const qsizetype star = wildcard.indexOf('*');
        const QString prefix = star < 0 ? wildcard : wildcard.left(star);
        const QString suffix = star < 0 ? QString() : wildcard.mid(star + 1);
        if (fileName.size() >= prefix.size() + suffix.size() &&
            fileName.startsWith(prefix, Qt::CaseInsensitive) &&
            fileName.endsWith(suffix, Qt::CaseInsensitive) && (star >= 0 || fileName.size() == prefix.size()))
            return true;
    }
    return false;
}

} // namespace

LinuxApplications::LinuxApplications(QString systemRoot) : root(std::move(systemRoot)) {}

QString LinuxApplications::expand(const QString& path) const {
    if (path.startsWith(QLatin1String("~/"))) return QDir::homePath() + path.mid(1);
    return system(path);
}

QStringList LinuxApplications::applicationFolders() const {
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    folders << system("/var/lib/flatpak/exports/share/applications")
            << QDir::homePath() + "/.local/share/flatpak/exports/share/applications"
            << system("/var/lib/snapd/desktop/applications");
    folders.removeDuplicates();
    return folders;
}

QStringList LinuxApplications::binFolders() const {
    QStringList folders{QDir::homePath() + "/.local/bin", system("/usr/local/bin"),
                        system("/usr/bin"), system("/bin"), system("/snap/bin")};
    // The user's own search path; not under a test root, where it would be the real machine's.
    if (root.isEmpty()) {
        for (const QString& folder : qEnvironmentVariable("PATH").split(':', Qt::SkipEmptyParts))
            if (folder.startsWith('/')) folders << QDir::cleanPath(folder);
    }
    folders << system("/var/lib/flatpak/exports/bin")
            << QDir::homePath() + "/.local/share/flatpak/exports/bin";
    folders.removeDuplicates();
    return folders;
}

std::optional<QString> LinuxApplications::resolveProgram(const QString& program) const {
    if (program.isEmpty()) return std::nullopt;
    if (program.startsWith('/')) {
        if (isExecutableFile(program)) return program;
        if (!root.isEmpty() && isExecutableFile(system(program))) return system(program);
        return std::nullopt;
    }
    for (const QString& folder : binFolders())
        if (isExecutableFile(folder + '/' + program)) return folder + '/' + program;
    return std::nullopt;
}

std::optional<ApplicationInstall> LinuxApplications::find(const QString& bundleID) const {
    for (const Row& row : rows()) {
        if (row.bundleID != bundleID) continue;
        // The first install found, unless a later one also has the command-line launcher
        // that the first lacks (a distribution package beside a tarball, say).
        std::optional<ApplicationInstall> first;
        for (auto source : {&LinuxApplications::fromFolder, &LinuxApplications::fromSnap,
                            &LinuxApplications::fromFlatpak, &LinuxApplications::fromDesktopEntry,
                            &LinuxApplications::fromCommand, &LinuxApplications::fromAppImage}) {
            std::optional<ApplicationInstall> install = (this->*source)(row);
            if (install && install->launcher) return install;
            if (!first) first = install;
        }
        return first;
    }
    return std::nullopt;
}

std::optional<ApplicationInstall> LinuxApplications::fromFolder(const Row& row) const {
    for (const QString& folder : row.folders) {
        const QString location = expand(folder);
        if (!QFileInfo(location).isDir()) continue;
        const QString launcher = location + '/' + row.launcher;
        return ApplicationInstall{location,
                                  isExecutableFile(launcher) ? std::optional(launcher) : std::nullopt,
                                  std::nullopt};
    }
    return std::nullopt;
}

std::optional<ApplicationInstall> LinuxApplications::fromSnap(const Row& row) const {
    for (const QString& snap : row.snaps) {
        const QString location = system("/snap/" + snap + "/current");
        if (!QFileInfo(location).isDir()) continue;
        const QString launcher =
            system("/snap/bin/" + (row.snapCommand.isEmpty() ? snap : row.snapCommand));
        return ApplicationInstall{location,
                                  isExecutableFile(launcher) ? std::optional(launcher) : std::nullopt,
                                  std::nullopt};
    }
    return std::nullopt;
}

std::optional<ApplicationInstall> LinuxApplications::fromFlatpak(const Row& row) const {
    const QList<QString> installations{system("/var/lib/flatpak"),
                                       QDir::homePath() + "/.local/share/flatpak"};
    for (const QString& id : row.flatpaks) {
        for (const QString& installation : installations) {
            const QString location = installation + "/app/" + id;
            if (!QFileInfo(location).isDir()) continue;
            // Flatpak exports a wrapper per application that passes its arguments on.
            const QString launcher = installation + "/exports/bin/" + id;
            return ApplicationInstall{
                location, isExecutableFile(launcher) ? std::optional(launcher) : std::nullopt,
                std::nullopt};
        }
    }
    return std::nullopt;
}

std::optional<ApplicationInstall> LinuxApplications::installOf(const Row& row,
                                                               const DesktopEntry& entry) const {
    if (entry.hidden) return std::nullopt;
    if (const std::optional<QString> app = entry.flatpakApp()) {
        // `flatpak run <id>`: the export wrapper passes its arguments on, as the launcher.
        const QString wrapper = resolveProgram(*app).value_or(QString());
        if (wrapper.isEmpty() || !wrapper.contains(QLatin1String("/exports/bin/"))) return std::nullopt;
        return ApplicationInstall{entry.path, wrapper, entry.path};
    }
    const std::optional<QString> program = resolveProgram(entry.program());
    if (!program) return std::nullopt; // a stale entry of something since removed
    // Electron editors start their binary from the install folder, which holds the launcher.
    QString launcher = *program;
    const QString besideProgram = QFileInfo(*program).path() + '/' + row.launcher;
    if (!row.launcher.isEmpty() && isExecutableFile(besideProgram)) launcher = besideProgram;
    return ApplicationInstall{entry.path, launcher, entry.path};
}

std::optional<ApplicationInstall> LinuxApplications::fromDesktopEntry(const Row& row) const {
    QList<EntryIndex> folders;
    for (const QString& folder : applicationFolders()) folders << entriesIn(folder);
    for (const QString& id : row.desktopIDs) {
        for (const EntryIndex& index : folders) {
            const auto entry = index.byName.constFind(id + ".desktop");
            if (entry == index.byName.constEnd()) continue;
            if (auto install = installOf(row, *entry)) return install;
        }
    }
    if (row.appImages.isEmpty()) return std::nullopt;
    // AppImages are started by entries their integration tools name freely; look at what the
    // user's own entries run instead.
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    const EntryIndex index = entriesIn(userFolder);
    for (const auto& [name, programName] : index.programNames) {
        if (!matchesAnyWildcard(programName, row.appImages)) continue;
        if (auto install = installOf(row, index.byName[name])) return install;
    }
    return std::nullopt;
}

std::optional<ApplicationInstall> LinuxApplications::fromCommand(const Row& row) const {
    for (const QString& command : row.commands) {
        const std::optional<QString> program = resolveProgram(command);
        if (!program) continue;
        // A command linked into a tarball or an AppImage stands for that install.
        const QFileInfo target(QFileInfo(*program).canonicalFilePath());
        if (target.filePath().isEmpty() || target.filePath() == *program)
            return ApplicationInstall{*program, *program, std::nullopt};
        QString folder = target.path();
        if (target.dir().dirName() == QLatin1String("bin")) folder = QFileInfo(folder).path();
        if (target.fileName().endsWith(QLatin1String(".appimage"), Qt::CaseInsensitive))
            return ApplicationInstall{target.filePath(), *program, std::nullopt};
        const QString launcher = folder + '/' + row.launcher;
        if (!row.launcher.isEmpty() && isExecutableFile(launcher))
            return ApplicationInstall{folder, launcher, std::nullopt};
        return ApplicationInstall{folder, *program, std::nullopt};
    }
    return std::nullopt;
}

std::optional<ApplicationInstall> LinuxApplications::fromAppImage(const Row& row) const {
    if (row.appImages.isEmpty()) return std::nullopt;
    for (const QString& folder : {QDir::homePath() + "/Applications", QDir::homePath() + "/.local/bin"}) {
        for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
            const QString path = folder + '/' + name;
            if (matchesAnyWildcard(name, row.appImages) && isExecutableFile(path))
                return ApplicationInstall{path, path, std::nullopt};
        }
    }
    return std::nullopt;
}

LinuxApplications::EntryIndex LinuxApplications::entriesIn(const QString& folder) const {
    // Lookups come in batches (every editor, every terminal, on every menu) over the same few
    // hundred entries: a folder is read again only when its own time stamp says entries were
    // added, removed or replaced.
    const QFileInfo info(folder);
    if (!info.isDir()) return {};
    const qint64 stamp = info.lastModified().toMSecsSinceEpoch();
    QMutexLocker locker(&cacheMutex);
    const auto cached = entryCache.constFind(folder);
    if (cached != entryCache.constEnd() && cached->stamp == stamp) return *cached;
    EntryIndex index;
    index.stamp = stamp;
    for (const QString& name : QDir(folder).entryList({"*.desktop"}, QDir::Files, QDir::Name)) {
        const std::optional<DesktopEntry> entry = DesktopEntry::read(folder + '/' + name);
        if (!entry) continue;
        index.byName.insert(name, *entry);
        index.programNames.append({name, QFileInfo(entry->program()).fileName()});
    }
    entryCache.insert(folder, index);
    return index;
}

} // namespace tarn
