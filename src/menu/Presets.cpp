#include "menu/Presets.h"

#include "actions/Opener.h"
#include "discovery/BlockingPool.h"
#include "menu/ActionItem.h"
#include "menu/Icons.h"
#include "menu/LazyMenu.h"
#include "menu/MenuItems.h"
#include "menu/MenuStyle.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <algorithm>

namespace tarn::Presets {

using MenuItems::disabled;
using MenuItems::separator;

namespace {

constexpr qsizetype latestCount = 15;

const QStringList screenshotPrefixes{"Screenshot", "Screen Shot", "Screen Recording", "Bildschirmfoto",
                                     "Bildschirmaufnahme", "Capture d\u2019\u00E9cran", "Captura de pantalla",
                                     "Schermafbeelding", "Istantanea"};

FolderOptions listingOptions() {
    FolderOptions options;
    options.sort = SortKey::name;
    options.ascending = true;
    options.foldersFirst = true;
    options.showHidden = false;
    options.hideWhenEmpty = false;
    options.itemLimit = 300;
    return options;
}

QAction* presetItem(const QString& title, const QIcon& icon, LazyMenu::Build build) {
    auto* item = new QAction(title);
    item->setIcon(icon);
    LazyMenu::attach(item, new LazyMenu(title, std::move(build)));
    return item;
}

QList<QAction*> itemsFor(const QList<QUrl>& urls) {
    QList<QAction*> items;
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        if (isDirectoryOnDisk(url) && !isPackage(path)) {
            items << MenuItems::browsable(url, listingOptions());
        } else {
            items << MenuItems::entry({EntryKind::file, url, QFileInfo(path).fileName(), std::nullopt, std::nullopt});
        }
    }
    return items;
}

QList<QAction*> folderRows(const QString& openTitle, const QString& folder, const QList<QUrl>& urls,
                           const QString& none) {
    QList<QAction*> items{new ActionItem(openTitle, QString(), [folder] {
                              Opener::openURL(QUrl::fromLocalFile(folder), false);
                          }),
                          separator()};
    if (urls.isEmpty()) return items << disabled(none);
    return items << itemsFor(urls);
}

// Ejects the volumes off the GUI thread; one alert for every failure.
void eject(const QStringList& mountPoints) {
    runInBackground(TaskPriority::userInitiated, [mountPoints] {
        QStringList failures;
        for (const QString& mountPoint : mountPoints)
            if (const std::optional<QString> failure = platform().volumes().eject(mountPoint))
                failures << QFileInfo(mountPoint).fileName() + ": " + *failure;
        if (failures.isEmpty()) return;
        runOnMainThread([failures] {
            platform().dialogs().warn(QString::fromUtf8("Couldn\u2019t eject"), failures.join('\n'));
        });
    });
}

// The value of `key` in `[group]` of an INI file's bytes.
QString iniValue(const QByteArray& bytes, const QString& group, const QString& key) {
    bool inGroup = false;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[')) inGroup = line == '[' + group + ']';
        else if (inGroup && line.section('=', 0, 0).trimmed() == key) return line.section('=', 1).trimmed();
    }
    return {};
}

QString spectacleFolder() {
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/spectaclerc";
    const std::optional<QByteArray> bytes = readRegularFileBytes(file, smallConfigLimit);
    if (!bytes) return {};
    for (const auto& [group, key] : {std::pair{"ImageSave", "imageSaveLocation"}, std::pair{"General", "defaultSaveLocation"}}) {
        const QString value = iniValue(*bytes, QLatin1String(group), QLatin1String(key));
        if (value.isEmpty()) continue;
        const QUrl url(value);
        return url.isLocalFile() ? url.toLocalFile() : value;
    }
    return {};
}

} // namespace

QDateTime dateAdded(const QString& path) {
    // A file moved in from the same disk keeps its birth time, but the move sets its status-change
    // time: the later of the two is when it came into the folder.
    const QFileInfo file(path);
    const QDateTime born = file.birthTime(), changed = file.metadataChangeTime();
    if (!born.isValid()) return changed;
    return changed.isValid() && changed > born ? changed : born;
}

bool isScreenshot(const QString& path) {
    if (hasExtendedAttribute(path, QStringLiteral("user.com.apple.metadata:kMDItemIsScreenCapture")) ||
        hasExtendedAttribute(path, QStringLiteral("com.apple.metadata:kMDItemIsScreenCapture")))
        return true;
    const QString name = QFileInfo(path).fileName();
    return std::any_of(screenshotPrefixes.begin(), screenshotPrefixes.end(),
                       [&](const QString& prefix) { return name.startsWith(prefix, Qt::CaseSensitive); });
}

QList<QUrl> latest(const QString& folder, const std::function<QDateTime(const QString&)>& date,
                   const std::function<bool(const QString&)>& filter) {
    struct Dated {
        QUrl url;
        QDateTime when;
    };
    QList<Dated> items;
    const QDir directory(folder);
    if (!directory.exists()) return {};
    for (const QFileInfo& file : directory.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                                                         QDir::NoSort)) {
        if (file.fileName().startsWith('.') || !filter(file.filePath())) continue;
        QDateTime when = date(file.filePath());
        if (!when.isValid()) when = file.lastModified();
        if (!when.isValid()) when = QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min() / 2);
        items << Dated{QUrl::fromLocalFile(file.filePath()), when};
    }
    std::stable_sort(items.begin(), items.end(), [](const Dated& a, const Dated& b) { return a.when > b.when; });
    QList<QUrl> urls;
    for (const Dated& item : items.mid(0, latestCount)) urls << item.url;
    return urls;
}

QString screenshotFolder() {
    const QString spectacle = spectacleFolder();
    if (!spectacle.isEmpty() && QFileInfo(spectacle).isDir()) return spectacle;
    const QString gnome = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + "/Screenshots";
    if (QFileInfo(gnome).isDir()) return gnome;
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QAction* downloads() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return presetItem(QStringLiteral("Latest Downloads"), Icons::file(folder), [folder] {
        return folderRows(QStringLiteral("Open Downloads Folder"), folder,
                          latest(folder, dateAdded, [](const QString&) { return true; }),
                          QStringLiteral("No downloads"));
    });
}

QAction* screenshots() {
    return presetItem(QStringLiteral("Recent Screenshots"), Icons::symbol(QStringLiteral("camera.viewfinder")), [] {
        const QString folder = screenshotFolder();
        return folderRows(QStringLiteral("Open Screenshots Folder"), folder,
                          latest(folder, [](const QString& path) { return QFileInfo(path).birthTime(); }, isScreenshot),
                          QStringLiteral("No screenshots"));
    });
}

QAction* volumes() {
    return presetItem(QStringLiteral("Volumes"), Icons::symbol(QStringLiteral("externaldrive")), [] {
        const QList<MountedVolume> mounted = platform().volumes().mounted();
        if (mounted.isEmpty()) return QList<QAction*>{disabled(QStringLiteral("No external volumes"))};
        QList<QAction*> items;
        QStringList ejectable;
        for (const MountedVolume& volume : mounted) {
            const QString name = volume.name.isEmpty() ? QFileInfo(volume.mountPoint).fileName() : volume.name;
            const std::optional<QString> free =
                volume.free ? std::optional(QLocale().formattedDataSize(*volume.free) + " free") : std::nullopt;
            if (volume.ejectable) ejectable << volume.mountPoint;
            const QString mountPoint = volume.mountPoint;
            const bool canEject = volume.ejectable;
            QList<QAction*> rows = MenuItems::browsable(
                QUrl::fromLocalFile(volume.mountPoint), listingOptions(), name, [free, name, mountPoint, canEject] {
                    QList<QAction*> top;
                    if (free) top << disabled(*free);
                    if (canEject) {
                        auto* item = new ActionItem(QString::fromUtf8("Eject \u201C%1\u201D").arg(name), QString(),
                                                    [mountPoint] { eject({mountPoint}); });
                        item->setIcon(Icons::symbol(QStringLiteral("eject")));
                        top << item;
                    }
                    if (!top.isEmpty()) top << separator();
                    return top;
                });
            if (free)
                for (QAction* row : rows)
                    MenuStyle::setTitle(row, MenuStyle::title(name, MenuStyle::info(*free), false, std::nullopt));
            items << rows;
        }
        if (!ejectable.isEmpty()) {
            auto* all = new ActionItem(QStringLiteral("Eject All"), QString(), [ejectable] {
                Dialogs& dialogs = platform().dialogs();
                dialogs.activate();
                QStringList names;
                for (const QString& mountPoint : ejectable) names << QFileInfo(mountPoint).fileName();
                const int choice = dialogs.ask(QStringLiteral("Eject all volumes?"), names.join(", "),
                                               {QStringLiteral("Eject All"), QStringLiteral("Cancel")});
                if (choice == 0) eject(ejectable);
            });
            all->setIcon(Icons::symbol(QStringLiteral("eject")));
            items << separator() << all;
        }
        return items;
    });
}

} // namespace tarn::Presets
