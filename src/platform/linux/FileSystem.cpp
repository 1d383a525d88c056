#include "platform/FileSystem.h"

#include <QFile>

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

QList<DirectoryItem> listDirectory(const QString& path) {
    QList<DirectoryItem> items;
    const QByteArray encoded = QFile::encodeName(path);
    DIR* directory = ::opendir(encoded.constData());
    if (!directory) return items;
    while (const dirent* entry = ::readdir(directory)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        items.append({QFile::decodeName(name),
                      typeOf(entry->d_type, encoded, name)});
    }
    ::closedir(directory);
    return items;
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
