#pragma once

#include <QByteArray>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

namespace tarn {

// A helper process of Tarn's own: this same executable, started with `arguments`, talked to
// through one socket that is its standard input and output. The calls block; background
// threads only. Destroying the object kills the process, so a worker stuck in a read can
// always be ended.
class WorkerProcess {
public:
    using Clock = std::chrono::steady_clock;

    // None when the process could not be started.
    static std::unique_ptr<WorkerProcess> start(const QStringList& arguments);
    ~WorkerProcess();
    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;

    // Sends all of `bytes`; false when the worker is gone.
    bool send(const QByteArray& bytes);
    // Exactly `size` bytes; none at end of file, on an error, or when `deadline` passes first.
    std::optional<QByteArray> receive(qsizetype size, Clock::time_point deadline);

    // The worker's memory as the system counts it now (its resident set); 0 when gone.
    qint64 residentBytes() const;
    // Whether the worker has ended (killed by the user or the system, say); one that has is
    // reaped here, so no zombie is left while the object waits to be destroyed. Never blocks.
    bool hasEnded();

    // In the worker: ends with Tarn (no orphan left blocked in a read), and reads and writes
    // the socket Tarn talks through. `input` gives none at end of file. A worker never dumps
    // core (what it read is the user's), and `addressSpace` bounds its memory: what would
    // need more (a crafted repository's object that inflates to gigabytes) fails instead.
    static void becomeWorker(qint64 addressSpace);
    // In the worker, before each task: the task may use `seconds` of CPU, then the worker ends.
    static void allowCpu(int seconds);
    static std::optional<QByteArray> input(qsizetype size);
    static bool output(const QByteArray& bytes);

private:
    WorkerProcess(int pid, int socket) : pid(pid), socket(socket) {}

    int pid;
    int socket;
};

} // namespace tarn
