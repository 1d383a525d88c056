#include "platform/linux/JsonDefaultsDomain.h"

#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

namespace {

// Records are kept as the JSON they encode to, so that people can read and edit them; files
// written before that hold them as {"data": "<base64>"}, which still reads.
std::optional<QByteArray> dataFromJson(const QJsonValue& json) {
    if (json.isArray()) return QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact);
    if (!json.isObject()) return std::nullopt;
    const QJsonObject object = json.toObject();
    if (object.size() != 1 || !object.value("data").isString())
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    auto decoded = QByteArray::fromBase64Encoding(object.value("data").toString().toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    return *decoded;
}

std::optional<DefaultsValue> fromJson(const QJsonValue& json) {
    if (json.isBool()) return json.toBool();
    if (json.isString()) return json.toString();
    if (json.isArray()) {
        QStringList list;
        for (const QJsonValue& element : json.toArray()) {
            if (!element.isString()) return dataFromJson(json);
            list << element.toString();
        }
        return list;
    }
    return dataFromJson(json);
}

// Data is written as plain JSON when it reads back byte for byte; anything else (bytes that
// are not JSON, JSON laid out otherwise) keeps the exact base64 form.
QJsonValue toJson(const DefaultsValue& value) {
    if (auto b = std::get_if<bool>(&value)) return *b;
    if (auto s = std::get_if<QString>(&value)) return *s;
    if (auto list = std::get_if<QStringList>(&value)) return QJsonArray::fromStringList(*list);
    const QByteArray& bytes = std::get<QByteArray>(value);
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    const QJsonValue plain = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    if (!document.isNull() && dataFromJson(plain) == bytes) return plain;
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

// ".<file name>.tarn-": our temporary files start so, and no file of the user's does.
QString temporaryPrefix(const QFileInfo& target) { return '.' + target.fileName() + ".tarn-"; }

QString errorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

bool syncDirectory(const QString& directory) {
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

const char* problemText(FileContents::Problem problem) {
    switch (problem) {
    case FileContents::Problem::notRegular: return "is not a regular file";
    case FileContents::Problem::tooLarge: return "is larger than settings can be";
    default: return "cannot be read";
    }
}

// The settings as an object, or why they are not one: "line L, column C: <what>".
struct Parsed {
    std::optional<QJsonObject> object;
    QString error;
};

Parsed parse(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError && document.isObject()) return {document.object(), {}};
    const QByteArray before = bytes.left(error.error == QJsonParseError::NoError ? 0 : error.offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    const QString what = error.error == QJsonParseError::NoError ? QStringLiteral("not a JSON object") : error.errorString();
    return {std::nullopt, QStringLiteral("line %1, column %2: %3")
                              .arg(before.count('\n') + 1)
                              .arg(QString::fromUtf8(before.mid(lineStart)).size() + 1)
                              .arg(what)};
}

// The first key the top-level object holds twice, and the lines of both: Qt's reader keeps the
// last silently, and a write would drop the other for good.
std::optional<QString> duplicateKey(const QByteArray& bytes) {
    QHash<QByteArray, int> lineOf;
    int depth = 0, line = 1;
    bool expectingKey = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n') ++line;
        else if (c == '{' || c == '[') expectingKey = ++depth == 1 && c == '{';
        else if (c == '}' || c == ']') --depth, expectingKey = false;
        else if (c == ',') expectingKey = depth == 1;
        else if (c == '"') {
            const qsizetype start = ++i;
            while (i < bytes.size() && bytes[i] != '"') i += bytes[i] == '\\' ? 2 : 1;
            if (!expectingKey) continue;
            expectingKey = false;
            const QByteArray key = bytes.mid(start, i - start);
            if (lineOf.contains(key))
                return QStringLiteral("the key \u201c%1\u201d is there twice (lines %2 and %3)")
                    .arg(QString::fromUtf8(key)).arg(lineOf.value(key)).arg(line);
            lineOf.insert(key, line);
        }
    }
    return std::nullopt;
}

// An editor that saves in place truncates the file and then writes it: a file found empty
// within this long after its change may be midway.
constexpr qint64 inPlaceSaveMilliseconds = 1000;

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

// A file that cannot be read or does not parse leaves the last settings read in force (none at
// start-up: the defaults), and says why in problem().
QJsonObject JsonDefaultsDomain::current() const {
    const Stamp stamp = stampOf(path);
    if (cachedStamp && *cachedStamp == stamp) return cached;
    cachedStamp = stamp;
    const FileContents contents = readRegularFile(path, settingsFileLimit);
    if (!contents.ok() && contents.problem != FileContents::Problem::missing) {
        unreadable = QStringLiteral("%1 %2").arg(path, QLatin1String(problemText(contents.problem)));
        return cached;
    }
    const Parsed parsed = parse(contents.bytes);
    if (!parsed.object && !contents.bytes.trimmed().isEmpty()) {
        unreadable = QStringLiteral("%1 does not parse (%2)").arg(path, parsed.error);
        return cached;
    }
    unreadable.reset();
    if (const std::optional<QString> twice = duplicateKey(contents.bytes))
        unreadable = QStringLiteral("In %1, %2: Tarn reads the last and saves no change until one goes").arg(path, *twice);
    cached = parsed.object.value_or(QJsonObject{});
    cachedData.clear();
    return cached;
}

std::optional<QString> JsonDefaultsDomain::problem() const {
    QMutexLocker locker(&mutex);
    current();
    return unreadable;
}

std::optional<QJsonValue> JsonDefaultsDomain::stored(const QString& key) const {
    QMutexLocker locker(&mutex);
    const QJsonObject all = current();
    const auto found = all.constFind(key);
    if (found == all.constEnd()) return std::nullopt;
    return *found;
}

std::optional<DefaultsValue> JsonDefaultsDomain::object(const QString& key) const {
    const std::optional<QJsonValue> json = stored(key);
    return json ? fromJson(*json) : std::nullopt;
}

// The record lists are read at every opening of the menu; thousands of favorites take
// milliseconds to lay out as JSON again, so each is laid out once per version of the file.
std::optional<QByteArray> JsonDefaultsDomain::data(const QString& key) const {
    QMutexLocker locker(&mutex);
    const std::optional<QJsonValue> json = stored(key);
    if (!json) return std::nullopt;
    const auto known = cachedData.constFind(key);
    if (known != cachedData.constEnd()) return *known;
    const std::optional<QByteArray> bytes = dataFromJson(*json);
    if (bytes) cachedData.insert(key, *bytes);
    return bytes;
}

bool JsonDefaultsDomain::contains(const QString& key) const {
    QMutexLocker locker(&mutex);
    return current().contains(key);
}

void JsonDefaultsDomain::set(const QString& key, const DefaultsValue& value) {
    const QJsonValue json = toJson(value);
    transaction([&] {
        // A setting of another type (a hand edit: "false" for false) is kept before it goes.
        const std::optional<QJsonValue> old = stored(key);
        if (old && (json.isBool() || json.isString()) && old->type() != json.type() && !backUp(key)) return;
        change([&](QJsonObject& all) { all.insert(key, json); });
    });
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

void JsonDefaultsDomain::watchChanges(std::function<void()> changed) {
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);
    watcher = std::make_unique<QFileSystemWatcher>(QStringList{folder});
    settle = std::make_unique<QTimer>();
    settle->setSingleShot(true);
    settle->setInterval(200);
    // The file itself too, for editors that write in place; watched anew after each replacement.
    auto rewatch = [this] {
        if (!watcher->files().contains(path) && QFileInfo::exists(path)) watcher->addPath(path);
    };
    rewatch();
    QObject::connect(settle.get(), &QTimer::timeout, [rewatch, changed = std::move(changed)] {
        rewatch();
        changed();
    });
    QTimer* timer = settle.get();
    QObject::connect(watcher.get(), &QFileSystemWatcher::directoryChanged, timer, [timer] { timer->start(); });
    QObject::connect(watcher.get(), &QFileSystemWatcher::fileChanged, timer, [timer] { timer->start(); });
}

bool JsonDefaultsDomain::backUp(const QString& key) {
    bool kept = true;
    transaction([&] {
        const QJsonObject all = current();
        if (!all.contains(key)) return;
        QString safeKey = key;
        safeKey.replace(QRegularExpression("[^A-Za-z0-9_]"), "_");
        const QFileInfo settings(path);
        const QString copy =
            uniquePath(settings.absolutePath() + '/' + settings.completeBaseName() + '.' + safeKey, ".json");
        const QByteArray bytes = QJsonDocument(QJsonObject{{key, all.value(key)}}).toJson();
        if (const std::optional<QString> failed = replaceFile(copy, bytes)) {
            kept = false;
            if (!failure)
                failure = QStringLiteral("The setting \u201c%1\u201d could not be read, and a copy of it could not be saved "
                                         "(%2). Nothing was saved.").arg(key, *failed);
            return;
        }
        std::fprintf(stderr, "Tarn: the setting \"%s\" could not be read; its value was saved to %s before it is replaced.\n",
                     qPrintable(key), qPrintable(copy));
    });
    return kept;
}

// What is on disk now (another process may have written since our last read), and a copy of
// it as "<file>.last" beside the file written: the one version a racing hand edit could lose.
// None, with the failure noted, when the file must not be written over: it cannot be read, it
// does not parse (the user is editing it, or must fix it), or the copy cannot be made.
std::optional<QJsonObject> JsonDefaultsDomain::onDiskForWriting(const QString& target) {
    FileContents onDisk = readRegularFile(path, settingsFileLimit);
    for (int wait = 0; wait < 5 && onDisk.ok() && onDisk.bytes.isEmpty() && changedJustNow(); ++wait) {
        QThread::msleep(inPlaceSaveMilliseconds / 5);
        onDisk = readRegularFile(path, settingsFileLimit);
    }
    auto refuse = [this](const QString& why) {
        if (!failure) failure = why + QStringLiteral(". Nothing was saved.");
        return std::nullopt;
    };
    if (!onDisk.ok() && onDisk.problem != FileContents::Problem::missing)
        return refuse(QStringLiteral("%1 %2").arg(path, QLatin1String(problemText(onDisk.problem))));
    const Parsed parsed = parse(onDisk.bytes);
    if (!parsed.object && !onDisk.bytes.trimmed().isEmpty())
        return refuse(QStringLiteral("%1 does not parse (%2); Tarn reads it again once it is fixed").arg(path, parsed.error));
    if (const std::optional<QString> twice = duplicateKey(onDisk.bytes))
        return refuse(QStringLiteral("In %1, %2; Tarn saves no change until one goes").arg(path, *twice));
    if (!onDisk.bytes.trimmed().isEmpty()) {
        if (const std::optional<QString> failed = replaceFile(target + ".last", onDisk.bytes))
            return refuse(QStringLiteral("A copy of the settings could not be made (%1)").arg(*failed));
    }
    return parsed.object.value_or(QJsonObject{});
}

bool JsonDefaultsDomain::changedJustNow() const {
    const QFileInfo info(path);
    return info.exists() && info.lastModified().msecsTo(QDateTime::currentDateTime()) < inPlaceSaveMilliseconds;
}

// Where a write goes: the file, or what it links to (a dotfile manager keeps it elsewhere),
// followed anew at each write.
QString JsonDefaultsDomain::writeTarget() const {
    const QFileInfo link(path);
    if (!link.isSymLink()) return path;
    const QString resolved = link.canonicalFilePath();
    return resolved.isEmpty() ? link.symLinkTarget() : resolved;
}

// A writer killed between creating its temporary file and renaming it leaves the file behind.
// Called under the lock, when no writer of ours can be midway; only our own names match.
void JsonDefaultsDomain::removeStaleTemporaryFiles() const {
    const QFileInfo settings(path);
    const QString prefix = temporaryPrefix(settings);
    static const QRegularExpression suffix("^[A-Za-z0-9]{6}$");
    QDir folder(settings.absolutePath());
    for (const QString& name : folder.entryList({prefix + "??????"}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (suffix.match(name.mid(prefix.size())).hasMatch()) folder.remove(name);
    }
}

// Writes `bytes` to a temporary file beside `target` and renames it over `target`, checking
// every step (write, flush, fsync, rename, the folder's fsync). A full disk usually fails only
// at the flush; any failure before the rename removes the temporary file and leaves `target`
// as it was. Returns why it failed.
std::optional<QString> JsonDefaultsDomain::replaceFile(const QString& target, const QByteArray& bytes) const {
    const QFileInfo info(target);
    QByteArray name = QFile::encodeName(info.absolutePath() + '/' + temporaryPrefix(info) + "XXXXXX");
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return QStringLiteral("%1: %2").arg(target, errorText(errno));
    struct stat previous {};
    ::fchmod(fd, ::stat(QFile::encodeName(target).constData(), &previous) == 0 ? previous.st_mode & 07777 : 0600);
    // The test seam: a step set to fail fails as a full disk would, without being done.
    auto fails = [this](WriteStep step, const std::function<bool()>& perform) {
        if (failingStep != step) return !perform();
        errno = ENOSPC;
        return true;
    };
    int error = 0;
    if (fails(WriteStep::write, [&] { return writeAll(fd, bytes); }) ||
        fails(WriteStep::flush, [&] { return ::fsync(fd) == 0; }))
        error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    const QByteArray targetName = QFile::encodeName(target);
    if (error == 0 && fails(WriteStep::rename, [&] { return ::rename(name.constData(), targetName.constData()) == 0; }))
        error = errno;
    if (error != 0) {
        ::unlink(name.constData());
        return QStringLiteral("%1: %2").arg(target, errorText(error));
    }
    if (fails(WriteStep::directory, [&] { return syncDirectory(info.absolutePath()); }))
        return QStringLiteral("%1: %2").arg(target, errorText(errno));
    return std::nullopt;
}

void JsonDefaultsDomain::failWritesAt(std::optional<WriteStep> step) { failingStep = step; }

void JsonDefaultsDomain::change(const std::function<void(QJsonObject&)>& edit) {
    transaction([&] {
        removeStaleTemporaryFiles();
        const QString target = writeTarget();
        std::optional<QJsonObject> all = onDiskForWriting(target);
        cachedStamp.reset();
        if (!all) return;
        edit(*all);
        const std::optional<QString> failed =
            replaceFile(target, QJsonDocument(*all).toJson(QJsonDocument::Indented));
        if (failed && !failure) failure = failed;
    });
}

} // namespace tarn
