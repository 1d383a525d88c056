#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tarn {

// What one run of an external program produced, before any decoding.
struct ChildProcessOutcome {
    bool started = false;
    int status = -1;       // exit code, or the number of the signal that ended it
    QString startError;    // why it could not be started
    QByteArray out, err;
};

// Tarn's environment as the programs it runs get it: without the desktop's activation token,
// which was given for one of Tarn's own windows.
QProcessEnvironment inheritedEnvironment();

// Runs `executable` with `arguments` and exactly `environment` ("NAME=value" items), stdin from
// /dev/null, in a process group of its own, and reads both pipes to their end concurrently.
// `timeout` seconds after the start a group still holding on gets SIGTERM, and SIGKILL a few
// seconds later, so neither a child that ignores SIGTERM nor a grandchild that keeps a pipe
// open can block the caller for long. Blocks the calling thread.
ChildProcessOutcome runChildProcess(const QString& executable, const QStringList& arguments,
                                    const QStringList& environment, double timeout);

// Runs `executable` for the user without waiting for it: in a process group of its own, in
// `folder`, with standard input and output on /dev/null and standard error in a file of at most
// 64 KiB (writes past that fail). `finished` is called on the GUI thread once `executable` has
// ended, with what it wrote there, whatever it left running (which keeps the file, is never
// waited for, and is never killed then); at once, on the event loop, when it cannot start.
// `timeout` seconds after the start a group still running gets SIGTERM, and SIGKILL a few
// seconds later. Nothing blocks and no thread waits: call it on the GUI thread. `out` stays empty.
void startUntilExit(const QString& executable, const QStringList& environment, const QString& folder, double timeout,
                    std::function<void(const ChildProcessOutcome&)> finished);

// A path as an argument of a program Tarn starts, carried through text byte for byte: a byte
// that is not part of valid UTF-8 becomes U+DC80 + byte (a lone surrogate, which no real text
// holds), and the start turns it back into that byte. Valid UTF-8 is plain text.
QString fileArgument(const QByteArray& path);

// Starts `executable` (an absolute path) for the user and lets it go: in a session of its own,
// in `folder` (the home folder when empty), with standard input and output on /dev/null and
// `environment` ("NAME=value" items; the inherited one when empty). Paths among the arguments
// and the folder may be fileArgument texts. Tarn never waits for it or kills it,
// so an editor outlives any time-out of ours. The reason when it could not be started.
std::optional<QString> startDetachedProcess(const QString& executable, const QStringList& arguments,
                                            const QString& folder = QString(),
                                            const QStringList& environment = QStringList());

} // namespace tarn
