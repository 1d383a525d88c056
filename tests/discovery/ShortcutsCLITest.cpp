#include "Sandbox.h"
#include "TestMain.h"
#include "discovery/BlockingPool.h"
#include "discovery/ShortcutsCLI.h"
#include "model/ShortcutFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QProcess>
#include <QTest>
#include <QUrlQuery>

#include <csignal>

using namespace tarn;

namespace {
const QString uuid1 = "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9";
const QString uuid2 = "11111111-2222-3333-4444-555555555555";
const QString uuid3 = "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee";
} // namespace

class ShortcutsCLITest : public QObject, test::Sandbox {
    Q_OBJECT

    // A stand-in for the Shortcuts tool: a shell script answering the list and run commands.
    QString fakeTool(const QString& body) {
        return home->writeScript("bin/shortcuts", ("#!/bin/sh\n" + body).toUtf8());
    }

private Q_SLOTS:
    void init() { enter(); }
    void cleanup() { leave(); }

    void parse_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name"); // "" when the line gives no item
        QTest::addColumn<QString>("id");
        QTest::newRow("plain") << "Build (" + uuid1 + ")" << "Build" << uuid1;
        QTest::newRow("name with its own parentheses")
            << "Deploy (prod) now (" + uuid2 + ")" << "Deploy (prod) now" << uuid2;
        QTest::newRow("lower-case identifier kept as printed") << "x (" + uuid3 + ")" << "x" << uuid3;
        QTest::newRow("leading spaces kept") << "  Spaced (" + uuid1 + ")" << "  Spaced" << uuid1;
        QTest::newRow("name ends in a word, no identifier") << "Backup (daily)" << "" << "";
        QTest::newRow("no parenthesis") << "Just a name" << "" << "";
        QTest::newRow("not ending in a parenthesis") << "x (" + uuid1 + ") " << "" << "";
    }

    void parse() {
        QFETCH(QString, line);
        QFETCH(QString, name);
        QFETCH(QString, id);
        const QList<ShortcutItem> items = ShortcutsCLI::parse("\n" + line + "\n\n", QString("F"));
        if (name.isEmpty()) {
            QVERIFY(items.isEmpty());
            return;
        }
        QCOMPARE(items, (QList<ShortcutItem>{{name, id, QString("F")}}));
    }

    void load() {
        const QString tool = fakeTool(
            "case \"$*\" in\n"
            "'list --folders') printf 'Work\\nEmpty\\n\\n' ;;\n"
            "'list --folder-name none --show-identifiers') echo 'Loose (" + uuid1 + ")' ;;\n"
            "'list --folder-name Work --show-identifiers') printf 'Build (" + uuid2 + ")\\nLoose (" + uuid3 + ")\\n' ;;\n"
            "'list --folder-name Empty --show-identifiers') exit 1 ;;\n"
            "esac\n");
        const ShortcutsSnapshot snapshot = ShortcutsCLI::load(tool);
        QCOMPARE(snapshot.folders, QStringList({"Work", "Empty"}));
        QCOMPARE(snapshot.items, (QList<ShortcutItem>{{"Loose", uuid1, std::nullopt},
                                                      {"Build", uuid2, QString("Work")},
                                                      {"Loose", uuid3, QString("Work")}}));
        QCOMPARE(ShortcutsCLI::load(home->path() + "/bin/missing"), ShortcutsSnapshot{});
        QCOMPARE(ShortcutsCLI::load(QString(ShortcutsCLI::toolPath)).folders.isEmpty(),
                 !QFile::exists(ShortcutsCLI::toolPath));
    }

    // The user's scripts as the catalogue: executables directly in the folder, and one level of
    // sub-folders (a link back to the folder lists nothing twice); ids that survive a reload and
    // another script.
    void scriptsCatalogue() {
        const QString root = home->makeFolder(".local/share/tarn/shortcuts");
        auto script = [&](const QString& relative, bool executable = true) {
            const QString path = ".local/share/tarn/shortcuts/" + relative;
            return executable ? home->writeScript(path, "#!/bin/sh\n") : home->writeFile(path, "#!/bin/sh\n");
        };
        script("deploy-staging.sh");
        script("Backup (daily)");
        script("notes.txt", false);
        script(".hidden.sh");
        script("Work/build.sh");
        script("db/restart");
        script("db/old/deeper.sh");
        script(".secret/x.sh");
        QVERIFY(QFile::link(script("../elsewhere.sh"), root + "/linked"));
        QVERIFY(QFile::link(root, root + "/selfdir"));
        QVERIFY(QFile::link(root + "/db", root + "/db again"));
        QCOMPARE(ShortcutsCLI::scriptsFolder(), root);

        const ShortcutsSnapshot first = ShortcutsCLI::load(home->path() + "/bin/no-tool");
        QCOMPARE(first.folders, QStringList({"db", "Work"}));
        QStringList shown;
        for (const ShortcutItem& item : first.items) {
            shown << item.folder.value_or("-") + "/" + item.name;
            QVERIFY(uuidFromText(item.id));
            QCOMPARE(ShortcutsCLI::editURL(item), QUrl::fromLocalFile(*item.script));
        }
        QCOMPARE(shown, QStringList({"-/Backup (daily)", "-/deploy-staging", "-/linked", "db/restart", "Work/build"}));
        script("another.sh");
        const ShortcutsSnapshot second = ShortcutsCLI::load(home->path() + "/bin/no-tool");
        QCOMPARE(second.items.size(), 6);
        for (const ShortcutItem& item : first.items) QVERIFY(second.items.contains(item)); // the same ids
    }

    // A script runs in the home folder and is waited for; what it leaves running is its own.
    void scriptsRun_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("alert"); // "" for none
        QTest::newRow("fails with a message") << "echo 'It broke' >&2; exit 1" << "It broke";
        QTest::newRow("cancelled") << "echo 'Cancelled' >&2; exit 1" << "";
        QTest::newRow("starts a program that outlives it: answered at its own end")
            << "sleep 30 & echo $! > \"$HOME/child\"; echo 'Left one running' >&2; exit 3" << "Left one running";
    }

    void scriptsRun() {
        QFETCH(QString, body);
        QFETCH(QString, alert);
        home->writeScript(".local/share/tarn/shortcuts/job.sh", ("#!/bin/sh\npwd > \"$HOME/ran\"\n" + body + "\n").toUtf8());
        const ShortcutItem item = ShortcutsCLI::loadScripts(ShortcutsCLI::scriptsFolder()).items.first();
        ShortcutsCLI::run(Entry{EntryKind::shortcut, ShortcutsCLI::editURL(item), item.name, item.id, {}});
        QTRY_VERIFY(QFile::exists(home->path() + "/ran"));
        QFile ran(home->path() + "/ran");
        QVERIFY(ran.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(ran.readAll()).trimmed(), home->path());
        QTest::qWait(300);
        QTRY_COMPARE(platform->testDialogs.warnings.size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty()) {
            QCOMPARE(platform->testDialogs.warnings.first().message, QString::fromUtf8("Shortcut \u201Cjob\u201D failed"));
            QCOMPARE(platform->testDialogs.warnings.first().informative, alert);
        }
        QFile child(home->path() + "/child");
        if (child.open(QIODevice::ReadOnly)) {
            const QString pid = QString::fromUtf8(child.readAll()).trimmed();
            QCOMPARE(QProcess::execute("kill", {"-0", pid}), 0); // still running after the run ended
            QProcess::execute("kill", {pid});
        }
    }

    // Scripts that run for long hold no thread of the pool that lists folders, and what they
    // and the jobs they leave write to standard error stays within 64 KiB.
    void longScriptsCostNeitherThreadsNorMemory() {
        const QString pids = home->path() + "/pids", written = home->path() + "/written";
        home->writeScript(".local/share/tarn/shortcuts/serve.sh",
                          QString("#!/bin/sh\n( head -c 20M /dev/zero; touch '%1'; exec sleep 60 ) >&2 &\n"
                                  "echo $! >> '%2'\necho $$ >> '%2'\nexec sleep 60\n")
                              .arg(written, pids)
                              .toUtf8());
        const ShortcutItem item = ShortcutsCLI::loadScripts(ShortcutsCLI::scriptsFolder()).items.first();
        const int threads = blockingPool().maxThreadCount();
        for (int i = 0; i < threads; ++i)
            ShortcutsCLI::run(Entry{EntryKind::shortcut, ShortcutsCLI::editURL(item), item.name, item.id, {}});
        auto started = [&] {
            QFile file(pids);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                                  : QStringList();
        };
        auto end = qScopeGuard([&] {
            for (const QString& pid : started()) ::kill(pid.toInt(), SIGKILL);
            // Each killed script says what it wrote, here rather than in the next test.
            QTRY_COMPARE(platform->testDialogs.warnings.size(), threads);
        });
        QTRY_COMPARE_WITH_TIMEOUT(started().size(), 2 * threads, 10000);
        bool listed = false;
        runInBackground(TaskPriority::userInitiated, [&listed] { listed = true; });
        QTRY_VERIFY_WITH_TIMEOUT(listed, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(written), 10000);
        const QString job = started().first();
        QVERIFY(QFileInfo("/proc/" + job + "/fd/2").size() <= 64 * 1024);
    }

    void runReportsOnlyRealFailures_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("alerts");
        QTest::newRow("success") << "echo noise >&2; exit 0" << 0;
        QTest::newRow("silent failure") << "exit 1" << 0;
        QTest::newRow("cancelled by the user") << "echo 'User CANCELLED it' >&2; exit 1" << 0;
        QTest::newRow("failure with a message") << "echo 'It broke' >&2; exit 1" << 1;
    }

    void runReportsOnlyRealFailures() {
        QFETCH(QString, script);
        QFETCH(int, alerts);
        const QString tool = fakeTool("echo \"$*\" > \"" + home->path() + "/ran\"\n" + script + "\n");
        ShortcutsCLI::run(Entry{EntryKind::shortcut, QUrl(), "Deploy", uuid1, {}}, tool);
        QTRY_VERIFY(QFile::exists(home->path() + "/ran"));
        QTest::qWait(200); // the alert, if any, arrives through the event loop
        QTRY_COMPARE(platform->testDialogs.warnings.size(), alerts);
        QFile ran(home->path() + "/ran");
        QVERIFY(ran.open(QIODevice::ReadOnly));
        QCOMPARE(ran.readAll().trimmed(), ("run " + uuid1).toUtf8());
        if (alerts) {
            QCOMPARE(platform->testDialogs.warnings.first().message,
                     QString::fromUtf8("Shortcut \u201CDeploy\u201D failed"));
            QCOMPARE(platform->testDialogs.warnings.first().informative, QString("It broke"));
        }
    }

    void longErrorsAreCut() {
        const QString tool = fakeTool("head -c 5000 /dev/zero | tr '\\0' e >&2; exit 2\n");
        ShortcutsCLI::run(Entry{EntryKind::shortcut, QUrl(), "Long", uuid1, {}}, tool);
        QTRY_COMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().informative, QString(2000, 'e'));
    }

    void noIdentifierRunsNothing() {
        const QString tool = fakeTool("touch \"" + home->path() + "/ran\"\n");
        ShortcutsCLI::run(Entry{EntryKind::shortcut, QUrl(), "None", std::nullopt, {}}, tool);
        QTest::qWait(300);
        QVERIFY(!QFile::exists(home->path() + "/ran"));
    }

    void editURL_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("spaces") << "Make a GIF";
        QTest::newRow("query characters") << "a&b=c+d?#/%";
        QTest::newRow("unicode") << "Café ☕";
    }

    void editURL() {
        QFETCH(QString, name);
        const QUrl url = ShortcutsCLI::editURL(name);
        QCOMPARE(url.scheme(), QString("shortcuts"));
        QCOMPARE(url.host(), QString("open-shortcut"));
        QVERIFY(!url.toString(QUrl::FullyEncoded).contains(' '));
        QCOMPARE(QUrlQuery(url).queryItemValue("name", QUrl::FullyDecoded), name);
    }
};

TARN_TEST(ShortcutsCLITest)
#include "ShortcutsCLITest.moc"
