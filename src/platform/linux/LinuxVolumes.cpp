#include "platform/linux/LinuxVolumes.h"

// GLib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gunixmounts.h>
#pragma pop_macro("signals")

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
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

// What UDisks2 says of a block device: its drive, and whether desktops hide it (HintIgnore,
// or HintSystem: a system disk rather than one the user plugged in).
struct BlockHints {
    QString drive;
    bool hidden = false;
};

BlockHints hintsOf(const QDBusConnection& bus, const QString& block) {
    const QDBusMessage reply = call(bus, block, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                                    {QStringLiteral("org.freedesktop.UDisks2.Block")}, udisksTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().first());
    const QString drive = qdbus_cast<QDBusObjectPath>(properties.value(QStringLiteral("Drive"))).path();
    return {drive == QLatin1String("/") ? QString() : drive,
            properties.value(QStringLiteral("HintIgnore")).toBool() ||
                properties.value(QStringLiteral("HintSystem")).toBool()};
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
    // Memory and system file systems (tmpfs, proc, overlay, …) as GIO knows them, and snaps.
    if (fileSystemType == QLatin1String("squashfs") || g_unix_is_system_fs_type(fileSystemType.toUtf8().constData()))
        return false;
    if (mountPoint == QLatin1String("/") || mountPoint == QLatin1String("/boot") ||
        mountPoint.startsWith(QLatin1String("/boot/")) || mountPoint == QLatin1String("/home"))
        return false;
    return mountPoint.startsWith(QLatin1String("/media/")) || mountPoint.startsWith(QLatin1String("/run/media/")) ||
           mountPoint.startsWith(QLatin1String("/mnt/"));
}

QList<MountedVolume> LinuxVolumes::volumesOf(const QList<Mount>& mounts, const QDBusConnection& bus) {
    QList<MountedVolume> volumes;
    QList<QByteArray> devices;
    for (const Mount& mount : mounts) {
        if (!isUserVolume(mount.mountPoint, mount.fileSystemType)) continue;
        // A bind mount shows a folder of a file system, and a second mount of a device the same
        // files again: the volume is listed once, where it was mounted first.
        if (mount.root != QLatin1String("/") || devices.contains(mount.device)) continue;
        devices << mount.device;
        const QString block = blockObject(mount.device);
        const BlockHints hints = block.isEmpty() ? BlockHints{} : hintsOf(bus, block);
        if (hints.hidden) continue;
        volumes << MountedVolume{mount.mountPoint, mount.name,
                                 !hints.drive.isEmpty() && isEjectableDrive(bus, hints.drive), mount.free};
    }
    return volumes;
}

QList<MountedVolume> LinuxVolumes::mounted() {
    QList<Mount> mounts;
    GList* entries = g_unix_mounts_get(nullptr);
    for (GList* item = entries; item; item = item->next) {
        auto* entry = static_cast<GUnixMountEntry*>(item->data);
        const QString mountPoint = QFile::decodeName(g_unix_mount_get_mount_path(entry));
        const char* root = g_unix_mount_get_root_path(entry);
        Mount mount{mountPoint, g_unix_mount_get_device_path(entry), QString::fromUtf8(g_unix_mount_get_fs_type(entry)),
                    QString(), std::nullopt, root ? QString::fromUtf8(root) : QStringLiteral("/")};
        if (isUserVolume(mount.mountPoint, mount.fileSystemType)) {
            const QStorageInfo storage(mountPoint);
            mount.name = storage.name();
            if (storage.isValid() && storage.isReady()) mount.free = storage.bytesAvailable();
        }
        mounts << mount;
    }
    g_list_free_full(entries, reinterpret_cast<GDestroyNotify>(g_unix_mount_free));
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
