#pragma once

#include "platform/Applications.h"
#include "platform/linux/DesktopEntry.h"

#include <QHash>
#include <QMutex>
#include <QPair>

namespace tarn {

// Finds the supported editors and terminals as their Linux packages install them: known install
// folders (deb/rpm under /usr/share or /opt, tarballs, ~/.local), snaps, flatpaks, desktop
// entries in the XDG data folders (AppImages included) and commands on the search path.
class LinuxApplications : public Applications {
public:
    // `systemRoot` is put in front of every absolute system path (tests build fake installs
    // under a temporary folder); the home and XDG folders come from the environment.
    explicit LinuxApplications(QString systemRoot = QString());

    std::optional<ApplicationInstall> find(const QString& bundleID) const override;

    // Where an application's table row says to look.
    struct Row;

private:
    std::optional<ApplicationInstall> fromFolder(const Row& row) const;
    std::optional<ApplicationInstall> fromSnap(const Row& row) const;
    std::optional<ApplicationInstall> fromFlatpak(const Row& row) const;
    std::optional<ApplicationInstall> fromDesktopEntry(const Row& row) const;
    std::optional<ApplicationInstall> fromCommand(const Row& row) const;
    std::optional<ApplicationInstall> fromAppImage(const Row& row) const;
    // The desktop entries of one folder, by file name, and the file name of the program each
    // runs, in file-name order.
    struct EntryIndex {
        qint64 stamp = 0; // the folder's modification time when read
        QHash<QString, DesktopEntry> byName;
        QList<QPair<QString, QString>> programNames;
    };
    EntryIndex entriesIn(const QString& folder) const;
    std::optional<ApplicationInstall> installOf(const Row& row, const DesktopEntry& entry) const;

    QString system(const QString& absolute) const { return root + absolute; }
    QString expand(const QString& path) const;
    QStringList applicationFolders() const;
    QStringList binFolders() const;
    std::optional<QString> resolveProgram(const QString& program) const;

    QString root;

    mutable QMutex cacheMutex;
    mutable QHash<QString, EntryIndex> entryCache;
};

} // namespace tarn
