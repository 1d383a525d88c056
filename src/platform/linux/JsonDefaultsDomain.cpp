#include "platform/linux/JsonDefaultsDomain.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstdio>
#include <utility>

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

// Takes an exclusive advisory lock on "<file>.lock"; the kernel drops it if the process dies,
// so a killed writer never leaves the domain locked. -1 when the lock file cannot be made.
int lockExclusively(const QString& lockPath) {
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    return fd;
}

// "<base>-<date and time>", numbered when that exists already: no copy overwrites another.
QString uniquePath(const QString& base, const QString& extension = QString()) {
    const QString stamped = base + '-' + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString candidate = stamped + extension;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = stamped + '-' + QString::number(n) + extension;
    return candidate;
}

bool writeWhole(const QString& filePath, const QByteArray& bytes) {
    QSaveFile out(filePath);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(bytes);
    return out.commit();
}

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

bool JsonDefaultsDomain::contains(const QString& key) const {
    QMutexLocker locker(&mutex);
    return current().contains(key);
}

void JsonDefaultsDomain::set(const QString& key, const DefaultsValue& value) {
    change([&](QJsonObject& all) { all.insert(key, toJson(value)); });
}

void JsonDefaultsDomain::remove(const QString& key) {
    change([&](QJsonObject& all) { all.remove(key); });
}

void JsonDefaultsDomain::transaction(const std::function<void()>& body) {
    QMutexLocker locker(&mutex);
    if (transactionDepth++ == 0) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        lockFd = lockExclusively(path + ".lock");
        failure.reset();
    }
    body();
    if (--transactionDepth > 0) return;
    if (lockFd >= 0) ::close(lockFd);
    lockFd = -1;
    const std::optional<QString> failed = std::exchange(failure, std::nullopt);
    locker.unlock();
    if (failed) reportWriteFailure(*failed);
}

void JsonDefaultsDomain::backUp(const QString& key) {
    transaction([&] {
        const QJsonObject all = current();
        if (!all.contains(key)) return;
        QString safeKey = key;
        safeKey.replace(QRegularExpression("[^A-Za-z0-9_]"), "_");
        const QFileInfo settings(path);
        const QString copy =
            uniquePath(settings.absolutePath() + '/' + settings.completeBaseName() + '.' + safeKey, ".json");
        const QByteArray bytes = QJsonDocument(QJsonObject{{key, all.value(key)}}).toJson();
        if (writeWhole(copy, bytes))
            std::fprintf(stderr, "Tarn: the setting \"%s\" could not be read; its value was saved to %s before it is replaced.\n",
                         qPrintable(key), qPrintable(copy));
        else
            std::fprintf(stderr, "Tarn: the setting \"%s\" could not be read, and a copy could not be saved to %s.\n",
                         qPrintable(key), qPrintable(copy));
    });
}

QJsonObject JsonDefaultsDomain::onDiskForWriting() {
    // Start from what is on disk now: another process may have written since our last read.
    QByteArray onDisk;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) onDisk = file.readAll();
    file.close();
    if (std::optional<QJsonObject> all = parse(onDisk)) return *all;
    if (!onDisk.trimmed().isEmpty()) {
        const QString aside = uniquePath(path + ".corrupt");
        if (writeWhole(aside, onDisk))
            std::fprintf(stderr, "Tarn: %s did not parse; it was copied to %s.\n", qPrintable(path),
                         qPrintable(aside));
    }
    return {};
}

// QSaveFile writes "<file>.XXXXXX" and renames it; a writer killed in between leaves it behind.
// Called under the lock, when no writer of ours can be midway.
void JsonDefaultsDomain::removeStaleTemporaryFiles() const {
    const QFileInfo settings(path);
    static const QRegularExpression temporary("^.*\\.[A-Za-z0-9]{6}$");
    QDir folder(settings.absolutePath());
    for (const QString& name : folder.entryList({settings.fileName() + ".??????"}, QDir::Files | QDir::Hidden)) {
        if (temporary.match(name).hasMatch()) folder.remove(name);
    }
}

void JsonDefaultsDomain::change(const std::function<void(QJsonObject&)>& edit) {
    transaction([&] {
        const QString directory = QFileInfo(path).absolutePath();
        removeStaleTemporaryFiles();
        QJsonObject all = onDiskForWriting();
        edit(all);
        QSaveFile out(path);
        const bool saved = out.open(QIODevice::WriteOnly) &&
                           out.write(QJsonDocument(all).toJson(QJsonDocument::Indented)) >= 0 &&
                           out.commit();
        if (saved) syncDirectory(directory);
        else if (!failure) failure = QStringLiteral("%1: %2").arg(path, out.errorString());
        cachedStamp.reset();
    });
}

} // namespace tarn
