// Scores a 100 000-title catalogue of file, repository and workspace names for short queries
// and prints the time per query.
#include "quickopen/Fuzzy.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <cstdio>

namespace {

QStringList catalogue(int size) {
    const QStringList words{"api",    "server", "client", "core",   "utils",  "web",    "app",
                            "mobile", "design", "docs",   "infra",  "deploy", "auth",   "billing",
                            "search", "index",  "worker", "queue",  "cache",  "metrics", "tarn",
                            "notes",  "scripts", "tools", "legacy", "v2",     "test",   "data"};
    const QStringList endings{"",    "",          ".code-workspace", ".md",  ".go",  ".ts",
                              ".py", "_test.go",  ".swift",          ".json", ".yml", ".cpp"};
    QRandomGenerator random(42);
    QStringList titles;
    titles.reserve(size);
    for (int i = 0; i < size; ++i) {
        QString title = words[random.bounded(words.size())];
        for (int more = random.bounded(3); more > 0; --more)
            title += (random.bounded(2) ? "-" : "_") + words[random.bounded(words.size())];
        if (random.bounded(10) == 0) title[0] = title[0].toUpper();
        titles << title + endings[random.bounded(endings.size())];
    }
    return titles;
}

} // namespace

int main() {
    const QStringList titles = catalogue(100000);
    std::printf("catalogue: %lld titles\n", static_cast<long long>(titles.size()));
    for (const char* query : {"a", "api", "srv", "rdm", "test go", "workspace", "xyz", "Tarn N"}) {
        double fastest = 1e99;
        int matches = 0;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            matches = 0;
            const QString q = QString::fromUtf8(query);
            for (const QString& title : titles) matches += tarn::Fuzzy::score(q, title).has_value();
            fastest = std::min(fastest, timer.nsecsElapsed() / 1e6);
        }
        std::printf("%-10s %7.2f ms  (%d matches, best of 5)\n", query, fastest, matches);
    }
    return 0;
}
