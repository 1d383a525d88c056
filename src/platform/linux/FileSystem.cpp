#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cstring>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace tarn {

namespace {
DirectoryItem::Type typeOf(unsigned char direntType, const QByteArray& folder, const char* name) {
    switch (direntType) {
    case DT_DIR: return DirectoryItem::Type::directory;
    case DT_REG: return DirectoryItem::Type::file;
    case DT_LNK: return DirectoryItem::Type::link;
    case DT_UNKNOWN: break;
    default: return DirectoryItem::Type::other;
    }
    // Some file systems do not fill in the type; ask for it then, still without following links.
    struct stat info {};
    const QByteArray fullPath = folder + '/' + name;
    if (::lstat(fullPath.constData(), &info) != 0) return DirectoryItem::Type::other;
    if (S_ISDIR(info.st_mode)) return DirectoryItem::Type::directory;
    if (S_ISREG(info.st_mode)) return DirectoryItem::Type::file;
    if (S_ISLNK(info.st_mode)) return DirectoryItem::Type::link;
    return DirectoryItem::Type::other;
}
} // namespace

QList<RawDirectoryItem> listDirectoryBytes(const QByteArray& path) {
    QList<RawDirectoryItem> items;
    DIR* directory = ::opendir(path.constData());
    if (!directory) return items;
    while (const dirent* entry = ::readdir(directory)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        items.append({QByteArray(name), typeOf(entry->d_type, path, name)});
    }
    ::closedir(directory);
    return items;
}

bool forEachInDirectory(const char* path, const std::function<void(std::string_view, DirectoryItem::Type)>& each) {
    DIR* directory = ::opendir(path);
    if (!directory) return false;
    const QByteArray folder = QByteArray::fromRawData(path, qsizetype(std::strlen(path)));
    while (const dirent* entry = ::readdir(directory)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        each(std::string_view(name), typeOf(entry->d_type, folder, name));
    }
    ::closedir(directory);
    return true;
}

QList<DirectoryItem> listDirectory(const QString& path) {
    QList<DirectoryItem> items;
    for (const RawDirectoryItem& item : listDirectoryBytes(QFile::encodeName(path)))
        items.append({QFile::decodeName(item.name), item.type});
    return items;
}

QUrl fileURL(const QByteArray& path) {
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);
}

QByteArray localPath(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

bool isUtf8(const QByteArray& path) { return QString::fromUtf8(path).toUtf8() == path; }

bool existsAt(const QByteArray& path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0;
}

namespace {
QString errorText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Writes the Trash's record of `original` as `info` (made anew, never over another).
bool writeTrashInfo(const QByteArray& info, const QByteArray& original) {
    const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const QByteArray text = "[Trash Info]\nPath=" + original.toPercentEncoding("/") + "\nDeletionDate=" +
                            QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + "\n";
    const bool written = ::write(fd, text.constData(), text.size()) == text.size();
    return ::close(fd) == 0 && written;
}
} // namespace

std::optional<QString> moveToTrash(const QByteArray& path) {
    // The home Trash is made first, parents included: Qt 6.4, unable to make it (a new account
    // without ~/.local/share), moves the item into the working folder instead.
    const QByteArray trash =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "/Trash";
    if (!trash.startsWith('/')) return QStringLiteral("There is no home folder for the Trash.");
    if (!QDir().mkpath(QFile::decodeName(trash.left(trash.lastIndexOf('/'))))) return errorText();
    for (const QByteArray& folder : {trash, trash + "/files", trash + "/info"})
        if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) return errorText();
    if (isUtf8(path)) {
        QFile item(QFile::decodeName(path));
        if (item.moveToTrash()) return std::nullopt;
        return item.errorString();
    }
    // Qt names files by text and would lose the bytes; this is the freedesktop home Trash.
    struct stat item {}, bin {};
    if (::lstat(path.constData(), &item) != 0 || ::stat(trash.constData(), &bin) != 0) return errorText();
    if (item.st_dev != bin.st_dev) return QStringLiteral("The item is not on the file system of the home Trash.");
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    for (int n = 1; n < 10000; ++n) {
        const QByteArray chosen = n == 1 ? name : name + ' ' + QByteArray::number(n);
        const QByteArray info = trash + "/info/" + chosen + ".trashinfo";
        if (!writeTrashInfo(info, path)) {
            if (errno == EEXIST) continue;
            return errorText();
        }
        const QByteArray target = trash + "/files/" + chosen;
        if (::access(target.constData(), F_OK) == 0) {
            ::unlink(info.constData());
            continue;
        }
        if (::rename(path.constData(), target.constData()) == 0) return std::nullopt;
        const QString reason = errorText();
        ::unlink(info.constData());
        return reason;
    }
    return QStringLiteral("The Trash holds too many items of that name.");
}

bool isDirectoryAt(const QByteArray& path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<QString> homeFolderOf(const QString& user) {
    const QByteArray name = user.toLocal8Bit();
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd record{};
    passwd* found = nullptr;
    if (::getpwnam_r(name.constData(), &record, buffer.data(), buffer.size(), &found) != 0 ||
        !found || !found->pw_dir)
        return std::nullopt;
    return QFile::decodeName(found->pw_dir);
}

bool hasExtendedAttribute(const QString& path, const QString& name) {
    return ::getxattr(QFile::encodeName(path).constData(), name.toUtf8().constData(), nullptr, 0) >= 0;
}

FileContents readRegularFile(const QString& path, qint64 limit) {
    using Problem = FileContents::Problem;
    FileContents contents;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        contents.problem = errno == ENOENT || errno == ENOTDIR ? Problem::missing : Problem::unreadable;
        return contents;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) contents.problem = Problem::unreadable;
    else if (!S_ISREG(info.st_mode)) contents.problem = Problem::notRegular;
    else if (info.st_size > limit) contents.problem = Problem::tooLarge;
    // Read one byte past the limit, so that a file that grew since fstat still counts as too large.
    while (contents.ok()) {
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) contents.problem = Problem::unreadable;
        if (n <= 0) break;
        contents.bytes.append(buffer, n);
        if (contents.bytes.size() > limit) contents.problem = Problem::tooLarge;
    }
    ::close(fd);
    if (!contents.ok()) contents.bytes.clear();
    return contents;
}

std::optional<QByteArray> readRegularFileBytes(const QString& path, qint64 limit) {
    FileContents contents = readRegularFile(path, limit);
    if (!contents.ok()) return std::nullopt;
    return std::move(contents.bytes);
}

} // namespace tarn
