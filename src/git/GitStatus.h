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

    bool operator==(const GitStatus&) const = default;

    // "main · 3 changes · ↑1 ↓4"
    QString summary() const;
    // "±3 ↑1 ↓4", only the positive counts; empty when clean and level
    QString counters() const;

    // Reads `git status --porcelain=v2 --branch` output.
    static GitStatus parse(const QString& porcelain);
};

size_t qHash(const GitStatus& status, size_t seed = 0);

} // namespace tarn
