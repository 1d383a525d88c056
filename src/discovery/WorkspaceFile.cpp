#include "discovery/WorkspaceFile.h"

#include "model/Entry.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

namespace tarn::WorkspaceFile {

namespace {

// True when only white space follows position `i` up to a closing bracket.
bool closesNext(const QString& text, qsizetype i) {
    for (++i; i < text.size(); ++i) {
        if (text[i].isSpace()) continue;
        return text[i] == '}' || text[i] == ']';
    }
    return false;
}

// "~", "~/x", "~user/x" expanded; none for an unknown user.
std::optional<QString> expandTilde(const QString& path) {
    const qsizetype slash = path.indexOf('/');
    const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    if (user.isEmpty()) return QDir::homePath() + rest;
    const std::optional<QString> home = homeFolderOf(user);
    if (!home) return std::nullopt;
    return *home + rest;
}

std::optional<QUrl> resolve(const QJsonObject& folder, const QString& base) {
    const QJsonValue path = folder.value("path");
    if (path.isString()) {
        const QString p = path.toString();
        std::optional<QString> absolute = p;
        if (p.startsWith('~')) absolute = expandTilde(p);
        else if (!p.startsWith('/')) absolute = base + '/' + p;
        if (!absolute) return std::nullopt;
        return QUrl::fromLocalFile(QDir::cleanPath(*absolute));
    }
    const QJsonValue uri = folder.value("uri");
    if (!uri.isString()) return std::nullopt;
    const QUrl url(uri.toString(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("file")) return std::nullopt;
    if (!isOnThisMachine(url)) return std::nullopt; // another machine's folder
    // "file:rel/dir" is relative to the workspace file, like a relative path.
    const QString decoded = url.path(QUrl::FullyDecoded);
    if (!decoded.startsWith('/')) return QUrl::fromLocalFile(QDir::cleanPath(base + '/' + decoded));
    return standardizedFileURL(url);
}

} // namespace

QString stripJSONC(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool inString = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (inString) {
            out += c;
            if (c == '"') {
                inString = false;
            } else if (c == '\\') {
                if (i + 1 >= n) break;
                out += text[++i];
            }
            continue;
        }
        if (c == '"') {
            out += c;
            inString = true;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            const qsizetype lineFeed = text.indexOf('\n', i + 2);
            if (lineFeed < 0) break;
            i = lineFeed - 1; // the line feed is copied as ordinary text
        } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
            const qsizetype close = text.indexOf(QLatin1String("*/"), i + 2);
            if (close < 0) break;
            i = close + 1;
        } else if (c == ',' && closesNext(text, i)) {
            continue;
        } else {
            out += c;
        }
    }
    return out;
}

QList<QUrl> folders(const QUrl& workspaceFile) {
    const std::optional<QByteArray> bytes = readRegularFileBytes(workspaceFile.toLocalFile(), workspaceFileLimit);
    if (!bytes) return {};
    return folders(*bytes, QFileInfo(workspaceFile.toLocalFile()).path());
}

QList<QUrl> folders(const QByteArray& contents, const QString& base) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(contents);
    if (utf8.hasError()) return {};

    QJsonParseError error;
    // A second pass drops the trailing commas that stood before a comment ("a, /* c */ ]"),
    // which the editors accept; the comments are gone after the first.
    const QJsonDocument document = QJsonDocument::fromJson(stripJSONC(stripJSONC(text)).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return {};
    const QJsonValue list = document.object().value("folders");
    if (!list.isArray()) return {};

    QList<QUrl> result;
    for (const QJsonValue& element : list.toArray()) {
        if (!element.isObject()) return {};
        if (auto url = resolve(element.toObject(), base)) result << *url;
    }
    return result;
}

std::optional<QString> primaryRepo(const QUrl& workspaceFile) {
    for (const QUrl& folder : folders(workspaceFile)) {
        const QString path = folder.toLocalFile();
        if (QFileInfo::exists(path + "/.git")) return path;
    }
    return std::nullopt;
}

} // namespace tarn::WorkspaceFile
