#pragma once

#include <QHashFunctions>
#include <QString>

namespace tarn {

// A repository's branch, commits ahead of and behind its upstream, and uncommitted entries.
struct GitStatus {
    QString branch = QStringLiteral("?");
    qint64 ahead = 0;
    qint64 behind = 0;
    qint64 changes = 0;
    // The last read failed (git took too long, or its reader died): the counts are what an
    // earlier read found, and may be out of date.
    bool outdated = false;

    bool operator==(const GitStatus&) const = default;

    // "main · 3 changes · ↑1 ↓4", then " · may be out of date" when outdated
    QString summary() const;
    // "±3 ↑1 ↓4", only the positive counts, then "?" when outdated; empty when clean and level
    QString counters() const;

    // Reads `git status --porcelain=v2 --branch` output.
    static GitStatus parse(const QString& porcelain);
};

size_t qHash(const GitStatus& status, size_t seed = 0);

} // namespace tarn
