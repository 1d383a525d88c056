#include "git/RepoConfig.h"

#include "discovery/Shell.h"
#include "git/Git.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace tarn::RepoConfig {

namespace {

constexpr double configTimeout = 5;
// Bounds for hostile layouts: include chains and submodule nesting.
constexpr int maxConfigFiles = 64;
constexpr int maxDepth = 8;

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.read(1 << 20));
}

QString resolve(const QString& base, const QString& path) {
    if (path.startsWith(QLatin1String("~/"))) return QDir::homePath() + path.mid(1);
    return QDir::cleanPath(QDir(base).absoluteFilePath(path));
}

// The git folder of a work tree: ".git" itself, or the folder a ".git" file points at.
QString gitDirOf(const QString& worktree) {
    const QString dotGit = worktree + "/.git";
    const QFileInfo info(dotGit);
    if (info.isDir()) return dotGit;
    if (!info.isFile()) return {};
    const QString text = readText(dotGit).trimmed();
    if (!text.startsWith(QLatin1String("gitdir:"))) return {};
    return resolve(worktree, text.mid(7).trimmed());
}

// Linked work trees keep the shared config in the main repository's git folder.
QString commonDirOf(const QString& gitDir) {
    const QString pointer = readText(gitDir + "/commondir").trimmed();
    return pointer.isEmpty() ? gitDir : resolve(gitDir, pointer);
}

// Key/value pairs of `git config --file <file> --null --get-regexp <pattern>`.
Pairs readPairs(const QStringList& arguments) {
    const ShellResult result = Shell::run(
        Git::executable, QStringList{"config", "--null"} + arguments, Git::env(), configTimeout);
    Pairs pairs;
    if (result.status != 0) return pairs;
    for (const QString& record : result.out.split(QChar(0), Qt::SkipEmptyParts)) {
        const qsizetype newline = record.indexOf('\n');
        if (newline < 0)
            pairs.append({record, QString()});
        else
            pairs.append({record.left(newline), record.mid(newline + 1)});
    }
    return pairs;
}

// "filter.<name>.clean" gives <name>; the name itself may hold dots.
QString subsectionOf(const QString& key) {
    const qsizetype first = key.indexOf('.'), last = key.lastIndexOf('.');
    return first < last ? key.mid(first + 1, last - first - 1) : QString();
}

QStringList submodulePaths(const QString& worktree) {
    const QString gitmodules = worktree + "/.gitmodules";
    if (!QFileInfo(gitmodules).isFile()) return {};
    QStringList paths;
    for (const auto& [key, value] :
         readPairs({"--file", gitmodules, "--get-regexp", "^submodule\\..*\\.path$"}))
        paths << resolve(worktree, value);
    return paths;
}

void addGitDir(const QString& gitDir, QStringList& into) {
    into << gitDir + "/config" << gitDir + "/config.worktree";
}

// Absorbed submodules live under modules/, by name; a name may hold slashes, so a folder
// without HEAD is a level of names.
void addModules(const QString& folder, int depth, QStringList& into) {
    if (depth > maxDepth) return;
    const QStringList children = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& child : children) {
        const QString path = folder + '/' + child;
        if (QFileInfo::exists(path + "/HEAD")) {
            addGitDir(path, into);
            addModules(path + "/modules", depth + 1, into);
        } else {
            addModules(path, depth + 1, into);
        }
    }
}

void addWorktree(const QString& worktree, int depth, QStringList& into) {
    const QString gitDir = gitDirOf(worktree);
    if (gitDir.isEmpty() || depth > maxDepth) return;
    const QString common = commonDirOf(gitDir);
    addGitDir(common, into);
    if (common != gitDir) into << gitDir + "/config.worktree";
    addModules(common + "/modules", depth, into);
    for (const QString& submodule : submodulePaths(worktree))
        addWorktree(submodule, depth + 1, into);
}

} // namespace

QStringList files(const QString& worktree) {
    QStringList found;
    addWorktree(QDir::cleanPath(worktree), 0, found);
    found.removeDuplicates();
    found.removeIf([](const QString& path) { return !QFileInfo(path).isFile(); });
    return found;
}

QSet<QString> filterKeys(const QStringList& configFiles) {
    QSet<QString> keys;
    QStringList pending = configFiles;
    QSet<QString> visited;
    while (!pending.isEmpty() && visited.size() < maxConfigFiles) {
        const QString file = pending.takeFirst();
        if (visited.contains(file) || !QFileInfo(file).isFile()) continue;
        visited.insert(file);
        // Section names are written out in the file; without these words it defines no
        // filter and includes nothing, and git need not be asked.
        const QString text = readText(file);
        if (!text.contains(QLatin1String("filter"), Qt::CaseInsensitive) &&
            !text.contains(QLatin1String("include"), Qt::CaseInsensitive))
            continue;
        const Pairs pairs =
            readPairs({"--file", file, "--get-regexp", "^(filter|include|includeif)\\."});
        for (const auto& [key, value] : pairs) {
            if (key.startsWith(QLatin1String("filter."))) {
                if (!subsectionOf(key).isEmpty()) keys.insert(key);
            } else if (key.endsWith(QLatin1String(".path")) && !value.isEmpty()) {
                // Conditions are not weighed: an include that might apply counts.
                pending << resolve(QFileInfo(file).path(), value);
            }
        }
    }
    return keys;
}

Pairs statusOverrides(const QString& worktree) {
    QStringList keys = filterKeys(files(worktree)).values();
    if (keys.isEmpty()) return {};
    keys.sort();
    // The user's own drivers (git-lfs installs one globally) keep working under their name.
    QHash<QString, QString> userValues;
    for (const auto& [key, value] :
         readPairs({"--system", "--includes", "--get-regexp", "^filter\\."}))
        userValues.insert(key, value);
    for (const auto& [key, value] :
         readPairs({"--global", "--includes", "--get-regexp", "^filter\\."}))
        userValues.insert(key, value);

    // Only the keys the repository sets are replaced: an empty command disables the driver,
    // and an empty "process" would disable the user's "clean" of the same name with it.
    Pairs overrides;
    for (const QString& key : keys) {
        const QString fallback =
            key.endsWith(QLatin1String(".required")) ? QStringLiteral("false") : QString();
        overrides.append({key, userValues.value(key, fallback)});
    }
    return overrides;
}

QHash<QString, QString> environment(const QHash<QString, QString>& base, const Pairs& pairs) {
    QHash<QString, QString> result = base;
    bool ok = false;
    const QString key = QStringLiteral("GIT_CONFIG_COUNT");
    int count = (base.contains(key) ? base.value(key) : qEnvironmentVariable("GIT_CONFIG_COUNT"))
                    .toInt(&ok);
    if (!ok || count < 0) count = 0;
    for (const auto& [key, value] : pairs) {
        result.insert(QStringLiteral("GIT_CONFIG_KEY_%1").arg(count), key);
        result.insert(QStringLiteral("GIT_CONFIG_VALUE_%1").arg(count), value);
        ++count;
    }
    result.insert(key, QString::number(count));
    return result;
}

} // namespace tarn::RepoConfig
