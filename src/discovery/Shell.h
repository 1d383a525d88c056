#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace tarn {

// The outcome of one run of an external program.
struct ShellResult {
    int status = -1;  // termination status; -1 when the program could not be started
    QString out;      // standard output, UTF-8 with invalid bytes replaced, not trimmed
    QString err;      // standard error, trimmed; the start error when it could not start

    bool operator==(const ShellResult&) const = default;

    // Standard output cut at every line feed, empty pieces dropped.
    QStringList lines() const;
};

size_t qHash(const ShellResult& result, size_t seed = 0);

namespace Shell {

// The search path every child gets, whatever the caller's own PATH is.
inline constexpr char searchPath[] = "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin";

// Runs `executable` (an absolute path, not looked up) with `arguments` as they are, the inherited
// environment plus the fixed PATH plus `env`, and no standard input; blocks until it has ended
// and both outputs are read. A program still running `timeout` seconds after its start is
// terminated and reports status 15. Never call it on the GUI thread.
ShellResult run(const QString& executable, const QStringList& arguments,
                const QHash<QString, QString>& env, double timeout);

} // namespace Shell
} // namespace tarn
