#include "git/GitStore.h"

#include "discovery/BlockingPool.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QAction>
#include <QFileInfo>
#include <QMutex>
#include <memory>

namespace tarn {

namespace {
std::optional<GitStatus> readStatus(const QString& path) {
    return Git::status(QUrl::fromLocalFile(path));
}

QString folderName(const QUrl& repo) { return QFileInfo(repo.toLocalFile()).fileName(); }
} // namespace

GitStore::GitStore() : reader(readStatus), now(&Clock::now) {}

GitStore& GitStore::shared() {
    static GitStore* store = new GitStore;
    return *store;
}

std::optional<GitStatus> GitStore::status(const QString& path) const {
    const auto found = statuses.constFind(path);
    if (found == statuses.constEnd()) return std::nullopt;
    return *found;
}

void GitStore::attach(QAction* item, const QString& repo, std::function<void()> retitle) {
    attached[repo].append({item, std::move(retitle)});
}

int GitStore::attachedCount(const QString& path) const {
    return static_cast<int>(attached.value(path).size());
}

void GitStore::refresh(const QStringList& paths, bool force) {
    const Clock::time_point current = now();
    auto batch = std::make_shared<Batch>();
    QSet<QString> seen;
    for (const QString& path : paths) {
        if (seen.contains(path) || reading.contains(path)) continue;
        seen.insert(path);
        const auto checked = checkedAt.constFind(path);
        const bool due = checked == checkedAt.constEnd() || current - *checked > staleAfter;
        if (force || due) batch->pending << path;
    }
    if (batch->pending.isEmpty()) return;
    for (const QString& path : batch->pending) reading.insert(path);
    for (int i = 0; i < statusWindow && !batch->pending.isEmpty(); ++i) startNext(batch);
}

// Starts the read of the batch's next path; its result is stored on the main thread, and only
// then does the window move on to the path after it.
void GitStore::startNext(const std::shared_ptr<Batch>& batch) {
    const QString path = batch->pending.takeFirst();
    const StatusReader read = reader;
    runInBackground(TaskPriority::utility, [this, batch, path, read] {
        const std::optional<GitStatus> status = read(path);
        runOnMainThread([this, batch, path, status] {
            store(path, status);
            if (!batch->pending.isEmpty()) startNext(batch);
        });
    });
}

// A failed read keeps what the last good one found, marked outdated.
void GitStore::store(const QString& path, const std::optional<GitStatus>& read) {
    reading.remove(path);
    checkedAt.insert(path, now());
    std::optional<GitStatus> status = read;
    if (read && read->outdated) {
        status = this->status(path);
        if (status) status->outdated = true;
    }
    if (this->status(path) == status) return;
    if (status)
        statuses.insert(path, *status);
    else
        statuses.remove(path);
    for (const TrackedItem& tracked : attached.value(path))
        if (tracked.item) tracked.retitle();
    if (onUpdate) onUpdate();
}

void GitStore::compact() {
    for (auto it = attached.begin(); it != attached.end();) {
        it->removeIf([](const TrackedItem& tracked) { return tracked.item.isNull(); });
        it = it->isEmpty() ? attached.erase(it) : std::next(it);
    }
}

void GitStore::run(GitOp op, const QUrl& repo) {
    runInBackground(TaskPriority::userInitiated, [this, op, repo] {
        const ShellResult result = Git::perform(op, repo);
        runOnMainThread([this, op, repo, result] {
            if (result.status != 0) {
                const QString verb = op == GitOp::fetch ? QStringLiteral("fetch") : QStringLiteral("pull");
                platform().dialogs().warn(
                    "git " + verb + " failed in \u201C" + folderName(repo) + "\u201D",
                    result.err.isEmpty() ? result.out : result.err);
            }
            refresh({repo.toLocalFile()}, true);
        });
    });
}

namespace {
// The fetches of one fetch-all: the repositories not started yet, how many run, what failed.
struct Fetches {
    QList<QUrl> pending;
    int running = 0;
    QStringList failures;
    QMutex mutex;
};

// Fetches `repo`, then the next pending repository on the same worker, so that at most as
// many run as were started; the last one to finish calls `done` on the main thread.
void fetchInTurn(const std::shared_ptr<Fetches>& fetches, const QUrl& repo,
                 const std::function<void()>& done) {
    runInBackground(TaskPriority::utility, [fetches, repo, done] {
        const ShellResult result = Git::perform(GitOp::fetch, repo, true);
        QUrl next;
        bool last = false;
        {
            QMutexLocker locker(&fetches->mutex);
            if (result.status != 0) fetches->failures << folderName(repo) + ": " + result.err;
            if (!fetches->pending.isEmpty())
                next = fetches->pending.takeFirst();
            else
                last = --fetches->running == 0;
        }
        if (!next.isEmpty())
            fetchInTurn(fetches, next, done);
        else if (last)
            runOnMainThread(done);
    });
}
} // namespace

void GitStore::fetchAll(const QList<QUrl>& repos) {
    if (repos.isEmpty()) return;
    auto fetches = std::make_shared<Fetches>();
    fetches->pending = repos;
    auto done = [this, repos, fetches] {
        QStringList paths;
        for (const QUrl& repo : repos) paths << repo.toLocalFile();
        refresh(paths, true);
        if (fetches->failures.isEmpty()) return;
        platform().dialogs().warn(QStringLiteral("Fetch failed for %1 of %2 repositories")
                                      .arg(fetches->failures.size())
                                      .arg(repos.size()),
                                  fetches->failures.join('\n'));
    };
    QList<QUrl> first;
    {
        QMutexLocker locker(&fetches->mutex);
        while (first.size() < fetchWindow && !fetches->pending.isEmpty())
            first << fetches->pending.takeFirst();
        fetches->running = static_cast<int>(first.size());
    }
    for (const QUrl& repo : first) fetchInTurn(fetches, repo, done);
}

void GitStore::setStatusReader(StatusReader replacement) { reader = std::move(replacement); }

void GitStore::setClock(std::function<Clock::time_point()> replacement) { now = std::move(replacement); }

void GitStore::reset() {
    statuses.clear();
    checkedAt.clear();
    reading.clear();
    attached.clear();
    onUpdate = nullptr;
    reader = readStatus;
    now = &Clock::now;
}

} // namespace tarn
