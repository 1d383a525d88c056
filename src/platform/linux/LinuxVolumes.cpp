#include "platform/linux/LinuxVolumes.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>
#include <QStorageInfo>

namespace tarn {

namespace {

const QString service = QStringLiteral("org.freedesktop.UDisks2");
constexpr int udisksTimeout = 3000;
constexpr int ejectTimeout = 60000;

QDBusMessage call(const QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments, int timeout) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, timeout);
}

QVariant property(const QDBusConnection& bus, const QString& path, const QString& interface, const QString& name) {
    const QDBusMessage reply = call(bus, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                    {interface, name}, udisksTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

// /dev/sdb1 -> /org/freedesktop/UDisks2/block_devices/sdb1
QString blockObject(const QByteArray& device) {
    if (!device.startsWith("/dev/")) return {};
    return "/org/freedesktop/UDisks2/block_devices/" + QString::fromLocal8Bit(device.mid(5)).replace('-', '_');
}

QString driveOf(const QDBusConnection& bus, const QString& block) {
    const QVariant drive = property(bus, block, QStringLiteral("org.freedesktop.UDisks2.Block"), QStringLiteral("Drive"));
    const QString path = drive.value<QDBusObjectPath>().path();
    return path == QLatin1String("/") ? QString() : path;
}

bool isEjectableDrive(const QDBusConnection& bus, const QString& drive) {
    const QString interface = QStringLiteral("org.freedesktop.UDisks2.Drive");
    return property(bus, drive, interface, QStringLiteral("Ejectable")).toBool() ||
           property(bus, drive, interface, QStringLiteral("Removable")).toBool();
}

QString errorOf(const QDBusMessage& reply) {
    return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
}

} // namespace

bool LinuxVolumes::isUserVolume(const QString& mountPoint, const QString& fileSystemType) {
    static const QStringList pseudo{"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs",
                                    "debugfs", "tracefs", "configfs", "fusectl", "mqueue", "hugetlbfs",
                                    "pstore", "bpf", "autofs", "binfmt_misc", "efivarfs", "squashfs"};
    if (pseudo.contains(fileSystemType)) return false;
    if (mountPoint == QLatin1String("/") || mountPoint == QLatin1String("/boot") ||
        mountPoint.startsWith(QLatin1String("/boot/")) || mountPoint == QLatin1String("/home"))
        return false;
    return mountPoint.startsWith(QLatin1String("/media/")) || mountPoint.startsWith(QLatin1String("/run/media/")) ||
           mountPoint.startsWith(QLatin1String("/mnt/"));
}

QList<MountedVolume> LinuxVolumes::volumesOf(const QList<Mount>& mounts, const QDBusConnection& bus) {
    QList<MountedVolume> volumes;
    for (const Mount& mount : mounts) {
        if (!isUserVolume(mount.mountPoint, mount.fileSystemType)) continue;
        const QString block = blockObject(mount.device);
        const QString drive = block.isEmpty() ? QString() : driveOf(bus, block);
        volumes << MountedVolume{mount.mountPoint, mount.name, !drive.isEmpty() && isEjectableDrive(bus, drive),
                                 mount.free};
    }
    return volumes;
}

QList<MountedVolume> LinuxVolumes::mounted() {
    QList<Mount> mounts;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (storage.isRoot()) continue;
        std::optional<qint64> free;
        if (storage.isValid() && storage.isReady()) free = storage.bytesAvailable();
        mounts << Mount{storage.rootPath(), storage.device(), QString::fromLatin1(storage.fileSystemType()),
                        storage.name(), free};
    }
    return volumesOf(mounts, QDBusConnection::systemBus());
}

std::optional<QString> LinuxVolumes::eject(const QString& mountPoint) {
    return ejectDevice(QStorageInfo(mountPoint).device(), QDBusConnection::systemBus());
}

std::optional<QString> LinuxVolumes::ejectDevice(const QByteArray& device, const QDBusConnection& bus) {
    const QString block = blockObject(device);
    if (block.isEmpty()) return QStringLiteral("No disk was found for this volume.");
    const QString drive = driveOf(bus, block);
    const QVariantMap noOptions;
    const QDBusMessage unmounted =
        call(bus, block, QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Unmount"),
             {QVariant::fromValue(noOptions)}, ejectTimeout);
    if (unmounted.type() != QDBusMessage::ReplyMessage) return errorOf(unmounted);
    if (drive.isEmpty()) return std::nullopt;
    const QString driveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");
    QDBusMessage ejected = call(bus, drive, driveInterface, QStringLiteral("Eject"), {QVariant::fromValue(noOptions)}, ejectTimeout);
    if (ejected.type() == QDBusMessage::ReplyMessage) return std::nullopt;
    // Drives that cannot be ejected (USB sticks) are powered off instead.
    ejected = call(bus, drive, driveInterface, QStringLiteral("PowerOff"), {QVariant::fromValue(noOptions)}, ejectTimeout);
    if (ejected.type() == QDBusMessage::ReplyMessage) return std::nullopt;
    return errorOf(ejected);
}

} // namespace tarn
