#include "TestMain.h"
#include "discovery/Shell.h"

#include <QElapsedTimer>
#include <QTest>
#include <limits>
#include <thread>

using namespace tarn;

namespace {
ShellResult sh(const QString& script, double timeout = 10, const QHash<QString, QString>& env = {}) {
    return Shell::run("/bin/sh", {"-c", script}, env, timeout);
}
} // namespace

class ShellTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void run_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty line kept in out, dropped from lines")
            << "printf 'a\\n\\nb\\n'" << 0 << "a\n\nb\n" << "" << QStringList{"a", "b"};
        QTest::newRow("whitespace-only stderr is empty")
            << "printf ' \\n\\t \\n' >&2" << 0 << "" << "" << QStringList{};
        QTest::newRow("stderr trimmed, stdout not")
            << "printf '  x  '; printf '\\n  oops \\n' >&2" << 0 << "  x  " << "oops"
            << QStringList{"  x  "};
        QTest::newRow("exit status passed through") << "exit 3" << 3 << "" << "" << QStringList{};
        QTest::newRow("stdin is at end of file at once")
            << "cat; echo done" << 0 << "done\n" << "" << QStringList{"done"};
        QTest::newRow("invalid UTF-8 replaced") << "printf 'a\\377b'" << 0 << "a\uFFFDb" << ""
                                                << QStringList{"a\uFFFDb"};
        QTest::newRow("fixed search path")
            << "printf %s \"$PATH\"" << 0 << Shell::searchPath << "" << QStringList{Shell::searchPath};
        QTest::newRow("killed by a signal reports its number")
            << "kill -TERM $$" << 15 << "" << "" << QStringList{};
    }

    void run() {
        QFETCH(QString, script);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, lines);
        const ShellResult result = sh(script);
        QCOMPARE(result.status, status);
        QCOMPARE(result.out, out);
        QCOMPARE(result.err, err);
        QCOMPARE(result.lines(), lines);
    }

    // Tarn's environment is passed on, but not a desktop's activation token given to Tarn.
    void environment() {
        qputenv("TARN_INHERITED", "kept");
        qputenv("XDG_ACTIVATION_TOKEN", "for-tarn");
        const ShellResult result =
            sh("printf '%s|%s|%s|%s' \"$PATH\" \"$TARN_INHERITED\" \"$EXTRA\" \"${XDG_ACTIVATION_TOKEN-none}\"", 10,
               {{"PATH", "/custom/bin"}, {"EXTRA", "given"}});
        QCOMPARE(result.out, QString("/custom/bin|kept|given|none"));
        qunsetenv("TARN_INHERITED");
        qunsetenv("XDG_ACTIVATION_TOKEN");
    }

    void arguments_are_passed_as_they_are() {
        const ShellResult result =
            Shell::run("/usr/bin/printf", {"[%s]", "a b", "$HOME", "'q'", ""}, {}, 10);
        QCOMPARE(result.out, QString("[a b][$HOME]['q'][]"));
    }

    void missingExecutable() {
        const ShellResult result = Shell::run("/nonexistent/tool", {"x"}, {}, 5);
        QCOMPARE(result.status, -1);
        QVERIFY(result.out.isEmpty());
        QVERIFY(!result.err.isEmpty());
        const ShellResult notExecutable = Shell::run("/etc/hostname", {}, {}, 5);
        QCOMPARE(notExecutable.status, -1);
        QVERIFY(!notExecutable.err.isEmpty());
    }

    void bothPipesDrainedTogether() {
        const ShellResult result =
            sh("head -c 6000000 /dev/zero | tr '\\0' e >&2; printf small; head -c 3000000 /dev/zero | tr '\\0' o >&2");
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QString("small"));
        QCOMPARE(result.err.size(), 9000000);
    }

    // Each case must return soon after its time-out, never hang.
    void timeouts_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("atMostMs");
        QTest::addColumn<QString>("out");
        QTest::newRow("sleeper is terminated") << "echo started; exec sleep 30" << 15 << 4000
                                               << "started\n";
        QTest::newRow("SIGTERM ignored: killed after the grace period")
            << "trap '' TERM; sleep 30; sleep 30" << 9 << 8000 << "";
        QTest::newRow("grandchild holds the pipe after its parent exited")
            << "sleep 30 & echo parent-done" << 0 << 4000 << "parent-done\n";
        QTest::newRow("grandchild that left the group holds the pipe")
            << "setsid sleep 8 & echo gone" << 0 << 9000 << "gone\n";
        QTest::newRow("child closed its pipes but keeps running")
            << "exec >&- 2>&-; sleep 30" << 15 << 4000 << "";
    }

    void timeouts() {
        QFETCH(QString, script);
        QFETCH(int, status);
        QFETCH(int, atMostMs);
        QFETCH(QString, out);
        QElapsedTimer clock;
        clock.start();
        const ShellResult result = sh(script, 0.5);
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(result.status, status);
        QCOMPARE(result.out, out);
        QVERIFY2(elapsed >= 400, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < atMostMs, qPrintable(QString::number(elapsed)));
    }

    // A time-out too large for the clock means "none", never "at once".
    void hugeTimeouts_data() {
        QTest::addColumn<double>("timeout");
        QTest::newRow("a million years") << 3.2e13;
        QTest::newRow("largest double") << std::numeric_limits<double>::max();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    }

    void hugeTimeouts() {
        QFETCH(double, timeout);
        const ShellResult result = sh("sleep 0.2; echo done", timeout);
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QString("done\n"));
    }

    void concurrentRuns() {
        QList<ShellResult> results(6);
        std::vector<std::thread> threads;
        for (int i = 0; i < 6; ++i)
            threads.emplace_back([&results, i] { results[i] = sh(QString("sleep 0.2; echo %1").arg(i)); });
        for (auto& t : threads) t.join();
        for (int i = 0; i < 6; ++i) QCOMPARE(results[i].out, QString("%1\n").arg(i));
    }
};

TARN_TEST(ShellTest)
#include "ShellTest.moc"
