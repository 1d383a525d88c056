#pragma once

#include "platform/Volumes.h"

#include <QByteArray>
#include <QDBusConnection>

namespace tarn {

// Volumes the way Linux file managers show them: file systems mounted under /media,
// /run/media/<user> and /mnt (never /, /boot, /home, memory or system file systems, bind
// mounts, or what UDisks2 on the system bus hints desktops to hide), each device once, with
// what UDisks2 says of their drives; ejected through UDisks2 (unmount, then eject or power off
// the drive).
class LinuxVolumes : public Volumes {
public:
    QList<MountedVolume> mounted() override;
    std::optional<QString> eject(const QString& mountPoint) override;

    // Whether a mount point is one a user would call a volume.
    static bool isUserVolume(const QString& mountPoint, const QString& fileSystemType);

    // One mounted file system, as the mount table tells it.
    struct Mount {
        QString mountPoint;
        QByteArray device;
        QString fileSystemType;
        QString name;
        std::optional<qint64> free;
        QString root = QStringLiteral("/"); // the folder of the file system mounted; "/" for all of it
    };
    // The volumes among `mounts`, with the word of UDisks2 on `bus` on their drives.
    static QList<MountedVolume> volumesOf(const QList<Mount>& mounts, const QDBusConnection& bus);
    // Unmounts the file system on `device` and ejects (or powers off) its drive.
    static std::optional<QString> ejectDevice(const QByteArray& device, const QDBusConnection& bus);
};

} // namespace tarn
