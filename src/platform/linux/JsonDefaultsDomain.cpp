#include "platform/linux/JsonDefaultsDomain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

namespace {

std::optional<DefaultsValue> fromJson(const QJsonValue& json) {
    if (json.isBool()) return json.toBool();
    if (json.isString()) return json.toString();
    if (json.isArray()) {
        QStringList list;
        for (const QJsonValue& element : json.toArray()) {
            if (!element.isString()) return std::nullopt;
            list << element.toString();
        }
        return list;
    }
    if (json.isObject()) {
        const QJsonObject object = json.toObject();
        if (object.size() != 1 || !object.value("data").isString()) return std::nullopt;
        auto decoded = QByteArray::fromBase64Encoding(object.value("data").toString().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) return std::nullopt;
        return *decoded;
    }
    return std::nullopt;
}

QJsonValue toJson(const DefaultsValue& value) {
    if (auto b = std::get_if<bool>(&value)) return *b;
    if (auto s = std::get_if<QString>(&value)) return *s;
    if (auto list = std::get_if<QStringList>(&value)) return QJsonArray::fromStringList(*list);
    const QByteArray& bytes = std::get<QByteArray>(value);
    return QJsonObject{{"data", QString::fromLatin1(bytes.toBase64())}};
}

// Holds an exclusive advisory lock on "<file>.lock" for its lifetime; the kernel drops it if
// the process dies, so a killed writer never leaves the domain locked.
class FileLock {
public:
    explicit FileLock(const QString& lockPath) {
        fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd >= 0) ::close(fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd = -1;
};

void syncDirectory(const QString& directory) {
    int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::optional<QJsonObject> parse(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return document.object();
}

} // namespace

JsonDefaultsDomain::JsonDefaultsDomain(QString filePath) : path(std::move(filePath)) {}

QString JsonDefaultsDomain::standardPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/tarn/defaults.json";
}

JsonDefaultsDomain::Stamp JsonDefaultsDomain::stampOf(const QString& filePath) {
    struct stat info {};
    if (::stat(QFile::encodeName(filePath).constData(), &info) != 0) return {};
    return {true,
            static_cast<quint64>(info.st_dev),
            static_cast<quint64>(info.st_ino),
            static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec),
            static_cast<qint64>(info.st_mtim.tv_nsec)};
}

QJsonObject JsonDefaultsDomain::current() const {
    const Stamp stamp = stampOf(path);
    if (cachedStamp && *cachedStamp == stamp) return cached;
    QFile file(path);
    QByteArray bytes;
    if (stamp.exists && file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    cached = parse(bytes).value_or(QJsonObject{});
    cachedStamp = stamp;
    return cached;
}

std::optional<DefaultsValue> JsonDefaultsDomain::object(const QString& key) const {
    QMutexLocker locker(&mutex);
    const QJsonObject all = current();
    const auto found = all.constFind(key);
    if (found == all.constEnd()) return std::nullopt;
    return fromJson(*found);
}

void JsonDefaultsDomain::set(const QString& key, const DefaultsValue& value) {
    change([&](QJsonObject& all) { all.insert(key, toJson(value)); });
}

void JsonDefaultsDomain::remove(const QString& key) {
    change([&](QJsonObject& all) { all.remove(key); });
}

void JsonDefaultsDomain::change(const std::function<void(QJsonObject&)>& edit) {
    QMutexLocker locker(&mutex);
    const QString directory = QFileInfo(path).absolutePath();
    QDir().mkpath(directory);
    FileLock lock(path + ".lock");

    // Start from what is on disk now: another process may have written since our last read.
    QByteArray onDisk;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) onDisk = file.readAll();
    file.close();
    std::optional<QJsonObject> all = parse(onDisk);
    if (!all) {
        if (!onDisk.trimmed().isEmpty()) {
            QSaveFile aside(path + ".corrupt");
            if (aside.open(QIODevice::WriteOnly)) {
                aside.write(onDisk);
                aside.commit();
            }
        }
        all = QJsonObject{};
    }
    edit(*all);

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) return;
    out.write(QJsonDocument(*all).toJson(QJsonDocument::Indented));
    if (out.commit()) syncDirectory(directory);
    cachedStamp.reset();
}

} // namespace tarn
