#include "platform/FileSystem.h"

#include <QFile>

#include <dirent.h>
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

} // namespace tarn
