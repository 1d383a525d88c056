#pragma once

#include "git/GitStatus.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace tarn {

class WorkerProcess;

// Runs GitReader in worker processes of Tarn's own (this executable started with
// `workerFlag`), one read at a time each, so that a read that never ends (a named pipe
// included as config, say) costs one killed worker instead of a thread of the pool for ever.
// A worker is killed when a read passes its time-out and a fresh one starts with the next
// read; answers are used only when they have the expected form. A worktree whose read failed
// so is left alone for a while: a named pipe for an index would otherwise hold a worker for
// the whole time-out at every refresh. Safe from any thread; every call blocks, so never on
// the GUI thread.
class GitReaderProcess {
public:
    static constexpr char workerFlag[] = "--git-reader";
    static constexpr auto statusTimeout = std::chrono::seconds(20);
    static constexpr auto remoteTimeout = std::chrono::seconds(5);
    // What one worker may cost: its address space, the CPU of one read, and the memory it may
    // keep while it waits for the next (a read of a huge index leaves it large).
    static constexpr qint64 workerAddressSpace = qint64(1) << 30;
    static constexpr int workerCpuSeconds = 30;
    static constexpr qint64 largestIdleWorker = qint64(128) << 20;
    // A worktree whose read timed out or killed its worker is not read again for this long.
    static constexpr auto backOff = std::chrono::minutes(1);

    static GitReaderProcess& shared();

    // A worker's whole life: answers requests on its standard input until it ends. Call first
    // thing in main() when argv[1] is `workerFlag`; returns the exit status.
    static int serve();

    // None when the worktree has no status; a status marked outdated, with no counts, when
    // the read failed or the worktree is left alone after a failed one.
    std::optional<GitStatus> status(const QString& worktree);
    std::optional<QString> originURL(const QString& worktree);

    // Tests shorten the waits so that a hung read ends quickly.
    void setTimeouts(std::chrono::milliseconds status, std::chrono::milliseconds remote);
    // Workers started so far (tests check that a hung one was replaced).
    int started() const;
    // Ends the workers waiting for a read (the next read starts a fresh one).
    void stopIdleWorkers();
    // Forgets the waiting workers that ended meanwhile, reaping them; never blocks. Called
    // every few seconds on the GUI thread (`reapInterval`).
    void reapEndedWorkers();
    static constexpr auto reapInterval = std::chrono::seconds(5);

private:
    GitReaderProcess() = default;

    std::optional<QByteArray> ask(char kind, const QString& worktree, std::chrono::milliseconds timeout);
    std::optional<QByteArray> askWorker(char kind, const QByteArray& path, std::chrono::milliseconds timeout);
    std::chrono::milliseconds waitFor(char kind) const;
    std::unique_ptr<WorkerProcess> take();
    std::unique_ptr<WorkerProcess> start();
    void giveBack(std::unique_ptr<WorkerProcess> worker);

    mutable QMutex mutex;
    std::vector<std::unique_ptr<WorkerProcess>> idle;
    std::chrono::milliseconds statusWait = statusTimeout;
    std::chrono::milliseconds remoteWait = remoteTimeout;
    int startCount = 0;
    QHash<QString, std::chrono::steady_clock::time_point> failedAt; // worktree -> its last failed read
};

} // namespace tarn
