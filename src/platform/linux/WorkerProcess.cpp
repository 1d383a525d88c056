#include "platform/WorkerProcess.h"

#include "platform/linux/ChildSpawn.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>

extern char** environ;

namespace tarn {

namespace {

// The running program itself, even when its file was replaced or removed since it started.
constexpr char selfExecutable[] = "/proc/self/exe";

bool writeAll(int fd, const QByteArray& bytes, int flags) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, bytes.size() - done, flags);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

} // namespace

std::unique_ptr<WorkerProcess> WorkerProcess::start(const QStringList& arguments) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return nullptr;
    ChildSpawn spawn(false);
    posix_spawn_file_actions_adddup2(&spawn.actions, pair[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&spawn.actions, pair[1], STDOUT_FILENO);
    // Named as Tarn is, so that a process list shows "tarn --git-reader".
    static const QString name = QFile::symLinkTarget(QString::fromLatin1(selfExecutable));
    ChildSpawn::Strings argv(QStringList{name.isEmpty() ? QString::fromLatin1(selfExecutable) : name} + arguments);
    pid_t pid = -1;
    const int failed =
        ::posix_spawn(&pid, selfExecutable, &spawn.actions, &spawn.attributes, argv.data(), environ);
    ::close(pair[1]);
    if (failed != 0) {
        ::close(pair[0]);
        return nullptr;
    }
    return std::unique_ptr<WorkerProcess>(new WorkerProcess(pid, pair[0]));
}

WorkerProcess::~WorkerProcess() {
    ::close(socket);
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
}

bool WorkerProcess::hasEnded() {
    if (pid <= 0) return true;
    pid_t reaped;
    while ((reaped = ::waitpid(pid, nullptr, WNOHANG)) < 0 && errno == EINTR) {}
    if (reaped == 0) return false;
    pid = -1;
    return true;
}

bool WorkerProcess::send(const QByteArray& bytes) { return writeAll(socket, bytes, MSG_NOSIGNAL); }

std::optional<QByteArray> WorkerProcess::receive(qsizetype size, Clock::time_point deadline) {
    QByteArray bytes(size, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd ready{socket, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left.count(), 60'000)));
        if (polled < 0 && errno != EINTR) return std::nullopt;
        if (polled <= 0) continue;
        const ssize_t n = ::recv(socket, bytes.data() + done, size - done, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return std::nullopt;
        done += n;
    }
    return bytes;
}

qint64 WorkerProcess::residentBytes() const {
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readLine().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

void WorkerProcess::becomeWorker(qint64 addressSpace) {
    ::prctl(PR_SET_DUMPABLE, 0);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space: its builds go without the bound.
    const rlimit memory{rlim_t(addressSpace), rlim_t(addressSpace)};
    ::setrlimit(RLIMIT_AS, &memory);
#else
    (void)addressSpace;
#endif
    // The end of the socket tells an idle worker that Tarn is gone, but not one stuck in a read.
    // PR_SET_PDEATHSIG would fire when the pool thread that started us ends, not with Tarn, so
    // a watchdog notices the parent change instead.
    const pid_t parent = ::getppid();
    std::thread([parent] {
        while (::getppid() == parent) std::this_thread::sleep_for(std::chrono::seconds(1));
        ::_exit(0);
    }).detach();
}

// The soft limit only, raised again for each task; past it the kernel ends the worker.
void WorkerProcess::allowCpu(int seconds) {
    rusage used {};
    ::getrusage(RUSAGE_SELF, &used);
    const rlim_t spent = rlim_t(used.ru_utime.tv_sec + used.ru_stime.tv_sec);
    rlimit cpu {};
    ::getrlimit(RLIMIT_CPU, &cpu);
    cpu.rlim_cur = std::min<rlim_t>(spent + rlim_t(seconds), cpu.rlim_max);
    ::setrlimit(RLIMIT_CPU, &cpu);
}

std::optional<QByteArray> WorkerProcess::input(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = ::read(STDIN_FILENO, bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        done += n;
    }
    return bytes;
}

bool WorkerProcess::output(const QByteArray& bytes) { return writeAll(STDOUT_FILENO, bytes, MSG_NOSIGNAL); }

} // namespace tarn
