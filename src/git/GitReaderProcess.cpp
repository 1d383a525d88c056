#include "git/GitReaderProcess.h"

#include "git/GitReader.h"
#include "platform/WorkerProcess.h"

#include <QFile>
#include <QtEndian>

namespace tarn {

namespace {

constexpr char statusRequest = 's';
constexpr char originRequest = 'o';
// Paths and answers beyond these are not what a worker of ours sends.
constexpr quint32 longestMessage = 64 * 1024;
constexpr qsizetype longestBranch = 4096;
// Workers kept waiting for the next read; more run at once only while reads overlap.
constexpr size_t idleWorkers = 8;

QByteArray framed(const QByteArray& payload) {
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(static_cast<quint32>(payload.size()), bytes.data());
    return bytes + payload;
}

// "<ahead>\n<behind>\n<changes>\n<branch>"; empty when there is no status.
QByteArray encodeStatus(const std::optional<GitStatus>& status) {
    if (!status) return {};
    return QByteArray::number(status->ahead) + '\n' + QByteArray::number(status->behind) + '\n' +
           QByteArray::number(status->changes) + '\n' + status->branch.toUtf8().left(longestBranch);
}

std::optional<qint64> count(const QByteArray& digits) {
    if (digits.isEmpty() || digits.size() > 18) return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    return digits.toLongLong();
}

std::optional<GitStatus> decodeStatus(const QByteArray& payload) {
    const QList<QByteArray> parts = payload.split('\n');
    if (parts.size() != 4 || parts[3].isEmpty() || parts[3].size() > longestBranch) return std::nullopt;
    const auto ahead = count(parts[0]), behind = count(parts[1]), changes = count(parts[2]);
    if (!ahead || !behind || !changes) return std::nullopt;
    return GitStatus{QString::fromUtf8(parts[3]), *ahead, *behind, *changes};
}

QByteArray answer(char kind, const QString& worktree) {
    if (kind == statusRequest) return encodeStatus(GitReader::status(worktree));
    const std::optional<QString> url = GitReader::originURL(worktree);
    return url ? url->toUtf8().left(longestMessage - 1) : QByteArray();
}

} // namespace

GitReaderProcess& GitReaderProcess::shared() {
    static GitReaderProcess* readers = new GitReaderProcess;
    return *readers;
}

int GitReaderProcess::serve() {
    WorkerProcess::becomeWorker(workerAddressSpace);
    GitReader::setUp();
    while (true) {
        const std::optional<QByteArray> header = WorkerProcess::input(5);
        if (!header) return 0;
        const char kind = header->at(0);
        const quint32 length = qFromLittleEndian<quint32>(header->constData() + 1);
        if ((kind != statusRequest && kind != originRequest) || length > longestMessage) return 1;
        const std::optional<QByteArray> path = WorkerProcess::input(length);
        if (!path) return 0;
        WorkerProcess::allowCpu(workerCpuSeconds);
        if (!WorkerProcess::output(framed(answer(kind, QFile::decodeName(*path))))) return 0;
    }
}

std::optional<GitStatus> GitReaderProcess::status(const QString& worktree) {
    const std::optional<QByteArray> payload = ask(statusRequest, worktree, waitFor(statusRequest));
    if (!payload) return GitStatus{.outdated = true};
    if (payload->isEmpty()) return std::nullopt;
    return decodeStatus(*payload);
}

std::optional<QString> GitReaderProcess::originURL(const QString& worktree) {
    const std::optional<QByteArray> payload = ask(originRequest, worktree, waitFor(originRequest));
    if (!payload || payload->isEmpty()) return std::nullopt;
    return QString::fromUtf8(*payload);
}

void GitReaderProcess::setTimeouts(std::chrono::milliseconds status, std::chrono::milliseconds remote) {
    QMutexLocker locker(&mutex);
    statusWait = status;
    remoteWait = remote;
}

void GitReaderProcess::stopIdleWorkers() {
    std::vector<std::unique_ptr<WorkerProcess>> stopping;
    {
        QMutexLocker locker(&mutex);
        stopping.swap(idle);
    }
}

void GitReaderProcess::reapEndedWorkers() {
    std::vector<std::unique_ptr<WorkerProcess>> ended;
    QMutexLocker locker(&mutex);
    for (auto it = idle.begin(); it != idle.end();) {
        if ((*it)->hasEnded()) {
            ended.push_back(std::move(*it));
            it = idle.erase(it);
        } else {
            ++it;
        }
    }
}

std::chrono::milliseconds GitReaderProcess::waitFor(char kind) const {
    QMutexLocker locker(&mutex);
    return kind == statusRequest ? statusWait : remoteWait;
}

int GitReaderProcess::started() const {
    QMutexLocker locker(&mutex);
    return startCount;
}

// The answer's payload; none when the worker failed, hung or answered out of form, in which
// case it is killed rather than reused.
std::optional<QByteArray> GitReaderProcess::ask(char kind, const QString& worktree,
                                                std::chrono::milliseconds timeout) {
    const QByteArray path = QFile::encodeName(worktree);
    if (path.isEmpty() || path.size() > longestMessage) return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    {
        QMutexLocker locker(&mutex);
        const auto failed = failedAt.constFind(worktree);
        if (failed != failedAt.constEnd() && now - *failed < backOff) return std::nullopt;
        failedAt.remove(worktree);
    }
    const std::optional<QByteArray> payload = askWorker(kind, path, timeout);
    if (!payload) {
        QMutexLocker locker(&mutex);
        failedAt.insert(worktree, now);
    }
    return payload;
}

// One read by a worker; the worker is kept for the next only when it answered in form.
std::optional<QByteArray> GitReaderProcess::askWorker(char kind, const QByteArray& path, std::chrono::milliseconds timeout) {
    QByteArray request = framed(path);
    request.prepend(kind);
    std::unique_ptr<WorkerProcess> worker = take();
    // A worker that ended while it waited (killed by the user, say) is replaced once.
    bool sent = worker && worker->send(request);
    if (!sent) {
        worker = start();
        sent = worker && worker->send(request);
    }
    if (!sent) return std::nullopt;
    const auto deadline = WorkerProcess::Clock::now() + timeout;
    const std::optional<QByteArray> header = worker->receive(4, deadline);
    if (!header) return std::nullopt;
    const quint32 length = qFromLittleEndian<quint32>(header->constData());
    if (length > longestMessage) return std::nullopt;
    std::optional<QByteArray> payload = worker->receive(length, deadline);
    if (payload) giveBack(std::move(worker));
    return payload;
}

std::unique_ptr<WorkerProcess> GitReaderProcess::take() {
    {
        QMutexLocker locker(&mutex);
        if (!idle.empty()) {
            std::unique_ptr<WorkerProcess> worker = std::move(idle.back());
            idle.pop_back();
            return worker;
        }
    }
    return start();
}

std::unique_ptr<WorkerProcess> GitReaderProcess::start() {
    {
        QMutexLocker locker(&mutex);
        ++startCount;
    }
    return WorkerProcess::start({QString::fromLatin1(workerFlag)});
}

// A worker that grew large in its last read is ended rather than kept waiting.
void GitReaderProcess::giveBack(std::unique_ptr<WorkerProcess> worker) {
    if (worker->residentBytes() > largestIdleWorker) return;
    QMutexLocker locker(&mutex);
    if (idle.size() < idleWorkers) idle.push_back(std::move(worker));
}

} // namespace tarn
