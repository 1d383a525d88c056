#include "platform/ChildProcess.h"

#include "platform/linux/ChildSpawn.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tarn {

namespace {

using Clock = std::chrono::steady_clock;

// Seconds a terminated group gets before SIGKILL, and how long the pipes are still read after
// that (a process that left the group may hold them; we stop reading rather than wait forever).
constexpr auto killGrace = std::chrono::seconds(3);
constexpr auto abandonGrace = std::chrono::seconds(1);

struct Pipe {
    int read = -1, write = -1;
    bool open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

int statusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return WTERMSIG(waitStatus);
    return -1;
}

// Reads what is available on `fd` into `into`; closes it at end of file or on error.
void drain(Pipe& pipe, QByteArray& into) {
    char buffer[65536];
    const ssize_t n = ::read(pipe.read, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, n);
    else if (n == 0 || (errno != EINTR && errno != EAGAIN))
        pipe.closeRead();
}

// A descriptor that becomes readable when the child exits, so we wait for the exit instead of
// polling for it; -1 where the kernel has no pidfd_open (before Linux 5.3).
int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Time-outs beyond a year mean "no time-out"; a larger one would overflow the clock.
constexpr double longestTimeout = 365.0 * 24 * 3600;

int millisecondsUntil(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

} // namespace

QProcessEnvironment inheritedEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
    return environment;
}

ChildProcessOutcome runChildProcess(const QString& executable, const QStringList& arguments,
                                    const QStringList& environment, double timeout) {
    ChildProcessOutcome outcome;
    Pipe out, err;
    if (!out.open() || !err.open()) {
        outcome.startError = QString::fromLocal8Bit(std::strerror(errno));
        out.closeRead(), out.closeWrite(), err.closeRead(), err.closeWrite();
        return outcome;
    }

    ChildSpawn spawn(true);
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&spawn.actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&spawn.actions, err.write, STDERR_FILENO);

    const QByteArray path = QFile::encodeName(executable);
    ChildSpawn::Strings argv(QStringList{executable} + arguments);
    ChildSpawn::Strings envp(environment);
    pid_t pid = -1;
    const int spawnError =
        ::posix_spawn(&pid, path.constData(), &spawn.actions, &spawn.attributes, argv.data(), envp.data());
    out.closeWrite();
    err.closeWrite();
    if (spawnError != 0) {
        outcome.startError =
            QStringLiteral("%1: %2").arg(executable, QString::fromLocal8Bit(std::strerror(spawnError)));
        out.closeRead();
        err.closeRead();
        return outcome;
    }
    outcome.started = true;

    const auto start = Clock::now();
    const double bounded = std::isnan(timeout) ? 0.0 : std::clamp(timeout, 0.0, longestTimeout);
    const auto terminateAt = start + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(bounded));
    const int pidfd = openPidfd(pid);
    std::optional<Clock::time_point> killAt, abandonAt;
    std::optional<int> waitStatus;

    auto reap = [&](int options) {
        if (waitStatus) return;
        int status = 0;
        pid_t done;
        do done = ::waitpid(pid, &status, options);
        while (done < 0 && errno == EINTR);
        if (done == pid) waitStatus = status;
    };

    // Read both pipes until both are at end of file and the child has exited, stepping up from
    // SIGTERM to SIGKILL to giving up as the deadlines pass.
    while (out.read >= 0 || err.read >= 0 || !waitStatus) {
        const auto now = Clock::now();
        if (!killAt && now >= terminateAt) {
            ::kill(-pid, SIGTERM);
            killAt = now + killGrace;
        } else if (killAt && !abandonAt && now >= *killAt) {
            ::kill(-pid, SIGKILL);
            abandonAt = now + abandonGrace;
        } else if (abandonAt && now >= *abandonAt) {
            break;
        }
        const Clock::time_point next = abandonAt ? *abandonAt : killAt ? *killAt : terminateAt;

        pollfd fds[3];
        nfds_t count = 0;
        for (Pipe* pipe : {&out, &err})
            if (pipe->read >= 0) fds[count++] = {pipe->read, POLLIN, 0};
        if (!waitStatus && pidfd >= 0) fds[count++] = {pidfd, POLLIN, 0};
        if (count == 0) {
            // Pipes closed, no pidfd; the child may still run. Check on it every few milliseconds.
            reap(WNOHANG);
            if (!waitStatus) ::poll(nullptr, 0, std::min(millisecondsUntil(next), 10));
            continue;
        }
        const int ready = ::poll(fds, count, millisecondsUntil(next));
        if (ready < 0 && errno != EINTR) break;
        for (nfds_t i = 0; i < count && ready > 0; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            if (fds[i].fd == pidfd)
                reap(WNOHANG);
            else if (fds[i].fd == out.read)
                drain(out, outcome.out);
            else
                drain(err, outcome.err);
        }
    }
    if (pidfd >= 0) ::close(pidfd);
    out.closeRead();
    err.closeRead();
    if (!waitStatus) {
        ::kill(-pid, SIGKILL);
        reap(0);
    }
    outcome.status = waitStatus ? statusOf(*waitStatus) : -1;
    return outcome;
}

namespace {
// What a user's program may leave in its standard error: the alert shows the start, and a
// program left running must not grow Tarn's memory for as long as it runs.
constexpr off_t errorCap = 64 * 1024;

// A file in memory of `errorCap` bytes that can never grow: writes past its end fail, and
// nothing is killed for it. Not a pipe: what the program leaves behind may write to it after
// we have read it, and a pipe with no reader would end such a program with SIGPIPE.
int cappedErrorFile() {
    const int fd = ::memfd_create("tarn-stderr", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return -1;
    if (::ftruncate(fd, errorCap) != 0 || ::fcntl(fd, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_SHRINK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What was written so far: the program's descriptor shares our offset in the file.
QByteArray writtenTo(int fd) {
    const off_t written = std::clamp<off_t>(::lseek(fd, 0, SEEK_CUR), 0, errorCap);
    QByteArray bytes(written, Qt::Uninitialized);
    const ssize_t n = written > 0 ? ::pread(fd, bytes.data(), written, 0) : 0;
    bytes.truncate(std::max<ssize_t>(n, 0));
    return bytes;
}

// One program started by startUntilExit, watched from the event loop until it has ended: its
// pidfd (or a short poll where the kernel has none) says when, a timer ends it when it is late.
class UntilExit : public QObject {
public:
    UntilExit(pid_t pid, int errors, double timeout, std::function<void(const ChildProcessOutcome&)> finished)
        : QObject(QCoreApplication::instance()), pid(pid), errors(errors), finished(std::move(finished)) {
        pidfd = openPidfd(pid);
        if (pidfd >= 0) {
            exited = new QSocketNotifier(pidfd, QSocketNotifier::Read, this);
            connect(exited, &QSocketNotifier::activated, this, &UntilExit::check);
        } else {
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, &UntilExit::check);
            poll->start(50);
        }
        late.setSingleShot(true);
        connect(&late, &QTimer::timeout, this, &UntilExit::endGroup);
        const double bounded = std::isnan(timeout) ? 0.0 : std::clamp(timeout, 0.0, longestTimeout);
        late.start(int(std::min(bounded * 1000, double(std::numeric_limits<int>::max()))));
    }

    ~UntilExit() override {
        delete exited; // before its descriptor closes
        if (pidfd >= 0) ::close(pidfd);
        ::close(errors);
    }

private:
    // SIGTERM to the group when it is late, SIGKILL a few seconds later.
    void endGroup() {
        if (signals == 2) return;
        ::kill(-pid, signals == 0 ? SIGTERM : SIGKILL);
        ++signals;
        late.start(int(std::chrono::milliseconds(killGrace).count()));
    }

    void check() {
        if (ended) return; // a last wake-up before the deletion
        int status = 0;
        pid_t done;
        do done = ::waitpid(pid, &status, WNOHANG);
        while (done < 0 && errno == EINTR);
        if (done == 0) return;
        ended = true;
        if (exited) exited->setEnabled(false);
        late.stop();
        ChildProcessOutcome outcome;
        outcome.started = true;
        outcome.status = done == pid ? statusOf(status) : -1;
        outcome.err = writtenTo(errors);
        if (finished) finished(outcome);
        deleteLater();
    }

    pid_t pid;
    int pidfd = -1;
    int errors;
    std::function<void(const ChildProcessOutcome&)> finished;
    QSocketNotifier* exited = nullptr;
    QTimer late;
    int signals = 0; // sent so far: SIGTERM, then SIGKILL
    bool ended = false;
};
} // namespace

void startUntilExit(const QString& executable, const QStringList& environment, const QString& folder, double timeout,
                    std::function<void(const ChildProcessOutcome&)> finished) {
    const auto failed = [&finished](const QString& reason) {
        ChildProcessOutcome outcome;
        outcome.startError = reason;
        QTimer::singleShot(0, QCoreApplication::instance(), [finished, outcome] { if (finished) finished(outcome); });
    };
    const int errors = cappedErrorFile();
    if (errors < 0) return failed(QString::fromLocal8Bit(std::strerror(errno)));
    ChildSpawn spawn(true);
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&spawn.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&spawn.actions, errors, STDERR_FILENO);
    const QByteArray directory = ChildSpawn::bytesOf(folder.isEmpty() ? QDir::homePath() : folder);
    posix_spawn_file_actions_addchdir_np(&spawn.actions, directory.constData());
    const QByteArray path = ChildSpawn::bytesOf(executable);
    ChildSpawn::Strings argv(QStringList{executable});
    ChildSpawn::Strings envp(environment);
    pid_t pid = -1;
    const int spawnError =
        ::posix_spawn(&pid, path.constData(), &spawn.actions, &spawn.attributes, argv.data(), envp.data());
    if (spawnError != 0) {
        ::close(errors);
        return failed(QStringLiteral("%1: %2").arg(executable, QString::fromLocal8Bit(std::strerror(spawnError))));
    }
    new UntilExit(pid, errors, timeout, std::move(finished));
}

std::optional<QString> startDetachedProcess(const QString& executable, const QStringList& arguments,
                                            const QString& folder, const QStringList& environment) {
    // Everything the children need is made before the fork: after it, only calls that are safe
    // in a copy of a threaded process.
    const QByteArray program = ChildSpawn::bytesOf(executable);
    const QByteArray directory = ChildSpawn::bytesOf(folder.isEmpty() ? QDir::homePath() : folder);
    ChildSpawn::Strings argv(QStringList{executable} + arguments);
    ChildSpawn::Strings envp(environment);
    char* const* environmentArray = environment.isEmpty() ? environ : envp.data();
    const auto failed = [&] { return QStringLiteral("%1 could not be started.").arg(executable); };
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return failed();

    // Two forks and a session of its own: the program is nobody's child of ours, and no signal
    // or time-out of Tarn's reaches it. The pipe tells whether the exec worked (it closes on
    // success) and why not.
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        if (::fork() != 0) ::_exit(0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        if (::chdir(directory.constData()) == 0) ::execve(program.constData(), argv.data(), environmentArray);
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    if (child < 0) {
        ::close(report[0]);
        return failed();
    }
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {}
    int error = 0;
    ssize_t got;
    do got = ::read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got > 0) return failed() + ' ' + QString::fromLocal8Bit(std::strerror(error));
    return std::nullopt;
}

} // namespace tarn
