#include "git/GitStatus.h"

#include <QStringList>

namespace tarn {

namespace {
const QString middleDot = QStringLiteral(" \u00B7 ");
const QChar plusMinus(0x00B1), upArrow(0x2191), downArrow(0x2193);

// "+3" with sign '+', "-12" with sign '-': the digits after the sign git writes there. Anything
// else, a second sign included, counts as 0 rather than as a negative count.
qint64 countAfterSign(const QString& piece, QChar sign) {
    const QStringView digits = QStringView(piece).mid(1);
    if (!piece.startsWith(sign) || digits.isEmpty()) return 0;
    for (QChar c : digits)
        if (c < '0' || c > '9') return 0;
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    return ok ? value : 0;
}
} // namespace

QString GitStatus::summary() const {
    QStringList parts{branch};
    if (changes == 0)
        parts << QStringLiteral("clean");
    else
        parts << QString::number(changes) + (changes == 1 ? " change" : " changes");
    if (ahead > 0 || behind > 0)
        parts << upArrow + QString::number(ahead) + ' ' + downArrow + QString::number(behind);
    if (outdated) parts << QStringLiteral("may be out of date");
    return parts.join(middleDot);
}

QString GitStatus::counters() const {
    QStringList parts;
    if (changes > 0) parts << plusMinus + QString::number(changes);
    if (ahead > 0) parts << upArrow + QString::number(ahead);
    if (behind > 0) parts << downArrow + QString::number(behind);
    if (outdated) parts << QStringLiteral("?");
    return parts.join(' ');
}

GitStatus GitStatus::parse(const QString& porcelain) {
    GitStatus status;
    for (const QString& line : porcelain.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("# branch.head "))) {
            status.branch = line.mid(14);
        } else if (line.startsWith(QLatin1String("# branch.ab "))) {
            const QStringList pieces = line.mid(12).split(' ', Qt::SkipEmptyParts);
            if (pieces.size() == 2) {
                status.ahead = countAfterSign(pieces[0], '+');
                status.behind = countAfterSign(pieces[1], '-');
            }
        } else if (!line.startsWith('#')) {
            ++status.changes;
        }
    }
    return status;
}

size_t qHash(const GitStatus& s, size_t seed) {
    return qHashMulti(seed, s.branch, s.ahead, s.behind, s.changes);
}

} // namespace tarn
