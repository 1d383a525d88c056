#include "discovery/Shell.h"

#include "platform/ChildProcess.h"

#include <QProcessEnvironment>

namespace tarn {

QStringList ShellResult::lines() const { return out.split('\n', Qt::SkipEmptyParts); }

size_t qHash(const ShellResult& r, size_t seed) { return qHashMulti(seed, r.status, r.out, r.err); }

namespace Shell {

ShellResult run(const QString& executable, const QStringList& arguments,
                const QHash<QString, QString>& env, double timeout) {
    QProcessEnvironment environment = inheritedEnvironment();
    environment.insert(QStringLiteral("PATH"), QString::fromLatin1(searchPath));
    for (auto it = env.begin(); it != env.end(); ++it) environment.insert(it.key(), it.value());

    const ChildProcessOutcome outcome =
        runChildProcess(executable, arguments, environment.toStringList(), timeout);
    if (!outcome.started) return {-1, QString(), outcome.startError};
    return {outcome.status, QString::fromUtf8(outcome.out), QString::fromUtf8(outcome.err).trimmed()};
}

} // namespace Shell
} // namespace tarn
