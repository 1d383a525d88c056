#pragma once

// Timing side by side on a shared, noisy machine: the contenders run in turns, round after
// round, and each is reported by its median.
#include <QElapsedTimer>
#include <QList>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace bench {

struct Contender {
    const char* name;
    std::function<void()> work;
};

inline double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs every contender once per round and returns the median milliseconds of each, in order.
inline QList<double> interleaved(int rounds, const QList<Contender>& contenders) {
    QList<QList<double>> times(contenders.size());
    for (int round = 0; round < rounds; ++round) {
        for (qsizetype i = 0; i < contenders.size(); ++i) {
            QElapsedTimer timer;
            timer.start();
            contenders[i].work();
            times[i] << timer.nsecsElapsed() / 1e6;
        }
    }
    QList<double> medians;
    for (const QList<double>& t : times)
        medians << median(t);
    return medians;
}

// Prints each median and its ratio to the last contender, the peer.
inline void report(const QList<Contender>& contenders, const QList<double>& medians, int rounds) {
    for (qsizetype i = 0; i < contenders.size(); ++i)
        std::printf("%-34s %10.3f ms median of %d   ratio to %s: %.2f\n", contenders[i].name,
                    medians[i], rounds, contenders.last().name, medians[i] / medians.last());
}

} // namespace bench
