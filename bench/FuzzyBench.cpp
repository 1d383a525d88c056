// Scores a catalogue of 100 000 file names, and one of 100 000 full paths, for short queries:
// the prepared catalogue (lowered once) against scoring the plain texts, interleaved, as
// medians per query. Both must give the same scores; the benchmark says so if they do not.
#include "Interleaved.h"
#include "quickopen/Fuzzy.h"

#include <QRandomGenerator>
#include <QStringList>
#include <cstdio>

namespace {

const QStringList words{"api",    "server",  "client", "core",   "utils",  "web",     "app",
                        "mobile", "design",  "docs",   "infra",  "deploy", "auth",    "billing",
                        "search", "index",   "worker", "queue",  "cache",  "metrics", "tarn",
                        "notes",  "scripts", "tools",  "legacy", "v2",     "test",    "data"};

QString name(QRandomGenerator& random) {
    static const QStringList endings{"",    "",         ".code-workspace", ".md",   ".go",  ".ts",
                                     ".py", "_test.go", ".swift",          ".json", ".yml", ".cpp"};
    QString title = words[random.bounded(words.size())];
    for (int more = random.bounded(3); more > 0; --more)
        title += (random.bounded(2) ? "-" : "_") + words[random.bounded(words.size())];
    if (random.bounded(10) == 0) title[0] = title[0].toUpper();
    return title + endings[random.bounded(endings.size())];
}

QStringList names(int size) {
    QRandomGenerator random(42);
    QStringList titles;
    for (int i = 0; i < size; ++i)
        titles << name(random);
    return titles;
}

QStringList paths(int size) {
    QRandomGenerator random(7);
    QStringList all;
    for (int i = 0; i < size; ++i) {
        QString path = "/home/dev/src";
        for (int depth = 1 + random.bounded(4); depth > 0; --depth)
            path += '/' + words[random.bounded(words.size())];
        all << path + '/' + name(random);
    }
    return all;
}

void compare(const char* label, const QStringList& texts) {
    QList<tarn::Fuzzy::Prepared> prepared;
    prepared.reserve(texts.size());
    for (const QString& text : texts)
        prepared << tarn::Fuzzy::Prepared(text);
    std::printf("\n%s: %lld texts\n", label, static_cast<long long>(texts.size()));

    for (const char* typed : {"a", "api", "srv", "rdm", "test go", "workspace", "xyz", "Tarn N"}) {
        const QString query = QString::fromUtf8(typed);
        long long plainSum = 0, preparedSum = 0;
        const QList<bench::Contender> contenders{
            {"prepared",
             [&] {
                 const tarn::Fuzzy::Prepared q(query);
                 preparedSum = 0;
                 for (const auto& text : prepared)
                     preparedSum += tarn::Fuzzy::score(q, text).value_or(-7);
             }},
            {"plain texts", [&] {
                 plainSum = 0;
                 for (const QString& text : texts)
                     plainSum += tarn::Fuzzy::score(query, text).value_or(-7);
             }}};
        const int rounds = 9;
        const QList<double> medians = bench::interleaved(rounds, contenders);
        std::printf("%-10s prepared %7.2f ms   plain %7.2f ms   ratio %.2f   %s\n", typed,
                    medians[0], medians[1], medians[0] / medians[1],
                    plainSum == preparedSum ? "same scores" : "SCORES DIFFER");
    }
}

} // namespace

int main() {
    compare("file names", names(100000));
    compare("full paths", paths(100000));
    return 0;
}
