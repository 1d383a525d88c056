#pragma once

#include "git/Git.h"
#include "git/GitStatus.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QAction;

namespace tarn {

// The last known status of every repository Tarn shows, refreshed in the background (each
// repository at most once a minute unless forced, six reads at a time), and pushed into the
// menu items that show it, in place, even while a menu is open: the menu says how each of its
// items is retitled. Also runs fetch and pull for
// the user and reports their failures. Main thread only.
class GitStore {
public:
    using Clock = std::chrono::steady_clock;
    using StatusReader = std::function<std::optional<GitStatus>(const QString& path)>;

    static GitStore& shared();

    static constexpr auto staleAfter = std::chrono::seconds(60);
    static constexpr int statusWindow = 6;
    static constexpr int fetchWindow = 4;

    std::optional<GitStatus> status(const QString& path) const;
    // Keeps `item` (weakly) among those that show `repo`; `retitle` rewrites it when the
    // repository's status changes, for as long as the item lives.
    void attach(QAction* item, const QString& repo, std::function<void()> retitle);
    void refresh(const QStringList& paths, bool force);
    void run(GitOp op, const QUrl& repo);
    void fetchAll(const QList<QUrl>& repos);
    void compact();

    // Called after any status change (the Quick Open model redraws its git details).
    std::function<void()> onUpdate;

    // Paths whose read has started and not yet been stored.
    const QSet<QString>& inFlight() const { return reading; }
    // How many menu items are attached under `path`.
    int attachedCount(const QString& path) const;

    // For tests: what reads a status (Git::status by default; runs on the blocking pool),
    // and what the time is.
    void setStatusReader(StatusReader reader);
    void setClock(std::function<Clock::time_point()> now);
    // Forgets everything (tests).
    void reset();

private:
    GitStore();

    struct TrackedItem {
        QPointer<QAction> item;
        std::function<void()> retitle;
    };
    // The reads of one refresh not started yet.
    struct Batch {
        QStringList pending;
    };

    void startNext(const std::shared_ptr<Batch>& batch);
    void store(const QString& path, const std::optional<GitStatus>& read);

    QHash<QString, GitStatus> statuses;
    QHash<QString, Clock::time_point> checkedAt;
    QSet<QString> reading;
    QHash<QString, QList<TrackedItem>> attached;
    StatusReader reader;
    std::function<Clock::time_point()> now;
};

} // namespace tarn
