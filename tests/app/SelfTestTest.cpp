#include "GitFixture.h"
#include "TempHome.h"
#include "TestMain.h"
#include "app/SelfTest.h"
#include "discovery/Terminals.h"
#include "model/JsonReader.h"
#include "model/Store.h"
#include "platform/linux/JsonDefaultsDomain.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace tarn;

class SelfTestTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;

    // Runs the built program the way a user would, without a display.
    QProcess* start(const QStringList& arguments, const QHash<QString, QString>& display = {}) {
        auto* process = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
        for (auto it = display.begin(); it != display.end(); ++it) environment.insert(it.key(), it.value());
        process->setProcessEnvironment(environment);
        process->start(TARN_BINARY, arguments);
        return process;
    }

    void executable(const QString& relative) {
        home->writeScript(relative, "#!/bin/sh\n");
    }

    void recent(const QString& hash, const QByteArray& json, int minutesAgo) {
        const QString dir = ".config/Code/User/workspaceStorage/" + hash;
        home->writeFile(dir + "/workspace.json", json);
        QFile database(home->writeFile(dir + "/state.vscdb", "db"));
        QVERIFY(database.open(QIODevice::ReadWrite));
        QVERIFY(database.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo),
                                     QFileDevice::FileModificationTime));
    }

    QByteArray fileURL(const QString& relative) {
        return QUrl::fromLocalFile(home->path() + '/' + relative).toEncoded();
    }

private Q_SLOTS:
    void init() { home = std::make_unique<test::TempHome>(); }
    void cleanup() { home.reset(); }

    void listFormat_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QStringList{} << "[]";
        QTest::newRow("plain") << QStringList{"a", "b c"} << "[\"a\", \"b c\"]";
        QTest::newRow("escapes") << QStringList{"say \"hi\"", "back\\slash", "two\nlines", "tab\there"}
                                 << "[\"say \\\"hi\\\"\", \"back\\\\slash\", \"two\\nlines\", \"tab\\there\"]";
        QTest::newRow("other control characters") << QStringList{QString("esc\x1b")} << "[\"esc\\u{1b}\"]";
        QTest::newRow("unicode as it is") << QStringList{"café → ü"} << "[\"café → ü\"]";
    }

    void listFormat() {
        QFETCH(QStringList, items);
        QFETCH(QString, text);
        QCOMPARE(SelfTest::list(items), text);
    }

    void wholeReport() {
        const QString h = home->path();
        // Two pinned folders, one with quotes in its name.
        const QString src = home->makeFolder("src"), work = home->makeFolder("work \"2\"");
        JsonDefaultsDomain defaults(JsonDefaultsDomain::standardPath());
        defaults.setData(Keys::pinnedFolders, encodeList(QList<PinnedFolder>{{src, false, {}, {}},
                                                                             {work, false, {}, {}}}));
        defaults.setBool(Keys::showOpenWindows, true);

        // Repositories: with an origin, without commits or remote, and a broken one.
        test::makeRepo(src + "/alpha");
        test::git(src + "/alpha", {"remote", "add", "origin", "git@github.com:tarn/alpha.git"});
        test::makeRepo(src + "/beta", false);
        home->writeFile("src/beta/untracked.txt", "x");
        home->makeFolder("work \"2\"/gamma/.git");

        // Nine workspace files; three name a repository.
        home->writeFile("src/a1.code-workspace", "{\"folders\": [{\"path\": \"alpha\"}]}");
        home->writeFile("src/b.code-workspace", "{\"folders\": [{\"path\": \"beta\"}]}");
        home->writeFile("src/c.code-workspace", "{\"folders\": [{\"path\": \"../work \\\"2\\\"/gamma\"}]}");
        for (int i = 4; i <= 9; ++i) home->writeFile(QString("src/w%1.code-workspace").arg(i), "{}");

        // VS Code, installed from a tarball with a desktop entry, and its recents.
        executable("apps/VSCode/code");
        home->writeFile(".local/share/applications/code.desktop",
                        ("[Desktop Entry]\nName=Code\nExec=" + h + "/apps/VSCode/code %F\n").toUtf8());
        recent("h1", "{\"folder\": \"" + fileURL("src/alpha") + "\"}", 5);
        recent("h2", "{\"workspace\": \"" + fileURL("src/b.code-workspace") + "\"}", 10);

        QStringList terminals;
        for (const TerminalApp& t : Terminals::installed()) terminals << t.name;

        const QString expected =
            "Folders: [\"" + src + "\", \"" + h + "/work \\\"2\\\"\"]\n"
            "Editors installed: [\"VS Code\"] default: VS Code\n"
            "Terminals installed: " + SelfTest::list(terminals) + "\n"
            "\n"
            "Workspaces (9): [\"a1\", \"b\", \"c\", \"w4\", \"w5\", \"w6\", \"w7\", \"w8\"]\n"
            "Repos (3): [\"alpha\", \"beta\", \"gamma\"]\n"
            "Workspace \u2192 repo mappings: 3\n"
            "File index: 11 files, 3 folders\n" // the workspaces, a repository's files; .git left out
            "\n"
            "Recents (2): [\"alpha [repo]\", \"b [workspace]\"]\n"
            "\n"
            "Shortcut folders: []\n"
            "Shortcuts (0): []\n"
            "Git alpha: main \u00B7 clean \u00B7 https://github.com/tarn/alpha\n"
            "Git beta: main \u00B7 1 change \u00B7 no remote\n"
            "Git gamma: nil \u00B7 no remote\n"
            "Remote parse: https://github.com/apple/swift https://gitlab.com/a/b\n"
            "JSONC: {\n \n \"folders\": [ {\"path\": \"a//b\"} ],  }\n"
            "Open windows: setting true \u00B7 accessibility allowed false \u00B7 title parts 0\n"
            "Fuzzy: 378 795 -1\n";

        QProcess* process = start({"--selftest"});
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process->readAllStandardOutput()), expected);
    }

    void emptyMachine() {
        QProcess* process = start({"--help", "--version", "--selftest"}); // the report wins
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
        const QStringList lines = QString::fromUtf8(process->readAllStandardOutput()).split('\n');
        QCOMPARE(lines.value(0), QString("Folders: []"));
        QCOMPARE(lines.value(1), QString("Editors installed: [] default: -"));
        QCOMPARE(lines.value(4), QString("Workspaces (0): []"));
        QCOMPARE(lines.value(5), QString("Repos (0): []"));
        QCOMPARE(lines.value(7), QString("File index: 0 files, 0 folders"));
        QCOMPARE(lines.value(8), QString()); // no recents line without an editor
        QCOMPARE(lines.value(9), QString("Shortcut folders: []"));
    }

    // Answered without a display, like the report.
    void helpAndVersion_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("expected"); // a part of the output
        QTest::newRow("help") << "--help" << "  --quick-open  show the Quick Open panel";
        QTest::newRow("short help") << "-h" << "  --selftest    print what Tarn finds";
        QTest::newRow("version") << "--version" << "tarn " TARN_VERSION "\n";
    }
    void helpAndVersion() {
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        QProcess* process = start({argument}, {{"DISPLAY", ":97"}});
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitCode(), 0);
        QVERIFY2(QString::fromUtf8(process->readAllStandardOutput()).contains(expected), qPrintable(expected));
    }

    // A mistyped option starts nothing: the usage, status 2, before any display or bus is asked.
    void unknownArgumentsAreRefused_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("letter case") << QStringList{"--SelfTest"};
        QTest::newRow("something more") << QStringList{"--selftest=1"};
        QTest::newRow("a dash missing") << QStringList{"--quickopen"};
        QTest::newRow("after a known one") << QStringList{"--menu", "--bogus"};
        QTest::newRow("not an option") << QStringList{"notes.txt"};
    }
    void unknownArgumentsAreRefused() {
        QFETCH(QStringList, arguments);
        QProcess* process = start(arguments, {{"DISPLAY", ":97"}});
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitCode(), 2);
        QVERIFY(process->readAllStandardOutput().isEmpty());
        const QByteArray error = process->readAllStandardError();
        QVERIFY2(error.startsWith("tarn: unknown option '" + arguments.last().toUtf8() + "'\nUsage: tarn"), error.constData());
    }

    void otherArgumentsStartTheApplication_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("display"); // VARIABLE=value, or "" for none
        QTest::newRow("X11 display nobody answers") << "" << "DISPLAY=:97";
        QTest::newRow("xcb chosen, display nobody answers") << "" << "QT_QPA_PLATFORM=xcb";
        QTest::newRow("Wayland socket that does not exist") << "" << "WAYLAND_DISPLAY=wayland-97";
    }

    void otherArgumentsStartTheApplication() {
        QFETCH(QString, argument);
        QFETCH(QString, display);
        QHash<QString, QString> variables;
        if (!display.isEmpty()) variables.insert(display.section('=', 0, 0), display.section('=', 1));
        QProcess* process = start(argument.isEmpty() ? QStringList{} : QStringList{argument}, variables);
        QVERIFY(process->waitForFinished(30000));
        // The tray application needs a display, which this run does not have: it says so and
        // ends with status 1 instead of aborting.
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 1);
        QVERIFY(process->readAllStandardOutput().isEmpty());
        QVERIFY(process->readAllStandardError().contains("needs a graphical session"));
    }
};

TARN_TEST(SelfTestTest)
#include "SelfTestTest.moc"
