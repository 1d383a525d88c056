#include "Sandbox.h"
#include "TestMain.h"
#include "actions/Opener.h"
#include "model/Store.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarn;

class OpenerTest : public QObject, test::Sandbox {
    Q_OBJECT
    QString launcher; // records its arguments, one run per line, in <home>/launched

    // Installs the editor with a launcher that records what it is given.
    void install(const QString& editorID, bool withLauncher = true) {
        platform->fakeApplications.installs.insert(
            editorID, {home->path() + "/editor", withLauncher ? std::optional(launcher) : std::nullopt, {}});
        platform->memoryDefaults.setString(Keys::defaultEditorID, editorID);
    }
    QStringList history() { return Store::shared().defaults().stringArray(Keys::history).value_or(QStringList{}); }
    QList<QUrl> openedWithEditor() {
        return platform->fakeDesktop.openedWith.isEmpty() ? QList<QUrl>{} : platform->fakeDesktop.openedWith.last().urls;
    }
    QByteArray fileBytes(const QString& name) {
        QFile file(home->path() + '/' + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString fileText(const QString& name) { return QString::fromUtf8(fileBytes(name)).trimmed(); }
    QString launched() { return fileText("launched"); }

private Q_SLOTS:
    void init() {
        enter();
        // The launcher also notes whether it runs in a session of its own, away from ours.
        launcher = home->writeScript("editor/bin/code", QString("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1/launched'\n"
                                                                "cut -d ' ' -f 6 /proc/$$/stat > '%1/session'\n").arg(home->path()).toUtf8());
    }
    void cleanup() { leave(); }

    void noEditor() {
        Opener::openInEditor(QUrl::fromLocalFile(home->makeFolder("repo")), Opener::WindowMode::standard, false,
                             std::nullopt);
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().message, QString("No editor found"));
        QCOMPARE(platform->testDialogs.warnings.first().informative,
                 QString("Tarn looks for VS Code, VS Code Insiders, VSCodium, Cursor, Windsurf, Zed and Sublime Text, by "
                         "their desktop entries or their commands on PATH, and found none. Install one; Settings \u2192 "
                         "Default Editor then lists it."));
        QVERIFY(history().isEmpty());
    }

    // An editor that cannot open workspace files gets the first folder the file lists.
    void workspaceFiles_data() {
        QTest::addColumn<QString>("editorID");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("opened"); // relative to the home
        QTest::newRow("VS Code opens the file") << "com.microsoft.VSCode" << QByteArray("{\"folders\": [{\"path\": \"api\"}]}")
                                                << "w/team.code-workspace";
        QTest::newRow("Zed gets the first folder") << "dev.zed.Zed" << QByteArray("{\"folders\": [{\"path\": \"api\"}, {\"path\": \"web\"}]}")
                                                   << "w/api";
        QTest::newRow("no folder listed: the file") << "dev.zed.Zed" << QByteArray("{\"folders\": []}")
                                                    << "w/team.code-workspace";
    }

    void workspaceFiles() {
        QFETCH(QString, editorID);
        QFETCH(QByteArray, contents);
        QFETCH(QString, opened);
        install(editorID);
        const QString file = home->writeFile("w/team.code-workspace", contents);
        Opener::openFile(QUrl::fromLocalFile(file), false);
        QCOMPARE(openedWithEditor(), QList<QUrl>{QUrl::fromLocalFile(home->path() + '/' + opened)});
        QCOMPARE(history(), QStringList{file}); // the workspace file, once
        QVERIFY(launched().isEmpty());           // standard mode never runs the launcher
    }

    void extensionIsExact() {
        install("com.microsoft.VSCode");
        const QString file = home->writeFile("w/team.Code-Workspace", "{}");
        Opener::openFile(QUrl::fromLocalFile(file), true);
        QCOMPARE(platform->fakeDesktop.opened, QList<QUrl>{QUrl::fromLocalFile(file)});
        QVERIFY(platform->fakeDesktop.openedWith.isEmpty());
        QCOMPARE(history(), QStringList{file});
    }

    void windowModes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("withLauncher");
        QTest::addColumn<QString>("launchedWith"); // "" when the application is used instead
        QTest::newRow("new window") << int(Opener::WindowMode::newWindow) << true << "-n @/repo";
        QTest::newRow("current window") << int(Opener::WindowMode::currentWindow) << true << "-r @/repo";
        QTest::newRow("new window without a launcher") << int(Opener::WindowMode::newWindow) << false << "";
    }

    void windowModes() {
        QFETCH(int, mode);
        QFETCH(bool, withLauncher);
        QFETCH(QString, launchedWith);
        install("com.microsoft.VSCode", withLauncher);
        const QString repo = home->makeFolder("repo");
        Opener::openInEditor(QUrl::fromLocalFile(repo), Opener::WindowMode(mode), false, std::nullopt);
        if (launchedWith.isEmpty()) {
            QCOMPARE(openedWithEditor(), QList<QUrl>{QUrl::fromLocalFile(repo)});
        } else {
            QTRY_COMPARE(launched(), QString(launchedWith).replace("@", home->path()));
            QVERIFY(platform->fakeDesktop.openedWith.isEmpty());
            QTRY_VERIFY(fileText("session").toLongLong() > 0);
            QVERIFY(fileText("session").toLongLong() != ::getsid(0));
        }
        QCOMPARE(history(), QStringList{repo});
    }

    // The editor's launcher gets a folder whose name is not UTF-8 byte for byte.
    void launcherGetsTheRealBytes() {
        install("com.microsoft.VSCode");
        const QByteArray folder = QFile::encodeName(home->path()) + "/caf\xe9";
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        Opener::openInEditor(fileURL(folder), Opener::WindowMode::newWindow, false, std::nullopt);
        QTRY_COMPARE(fileBytes("launched"), "-n " + folder + '\n');
    }

    void terminalOpensTheFolder() {
        platform->fakeApplications.installs.insert("com.apple.Terminal", {"/usr/bin/xterm", QString("/usr/bin/xterm"), {}});
        const QString file = home->writeFile("src/main.c", "x");
        Opener::openInTerminal(QUrl::fromLocalFile(file));
        Opener::openInTerminal(QUrl::fromLocalFile(home->path() + "/src"));
        QCOMPARE(platform->fakeDesktop.terminals.size(), 2);
        QCOMPARE(platform->fakeDesktop.terminals[0].first, home->path() + "/src");
        QCOMPARE(platform->fakeDesktop.terminals[1].first, home->path() + "/src");
        platform->fakeDesktop.failure = QString("no terminal");
        Opener::openInTerminal(QUrl::fromLocalFile(file));
        QVERIFY(platform->testDialogs.warnings.isEmpty()); // never an alert
        QVERIFY(history().isEmpty());
    }

    void failuresAreShown() {
        platform->fakeDesktop.failure = QString(3000, 'x');
        Opener::openURL(QUrl("https://example.com"), false);
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().message, QString("Couldn\u2019t open"));
        QCOMPARE(platform->testDialogs.warnings.first().informative.size(), 2000);
        QVERIFY(history().isEmpty()); // links are not history
    }

    void moveToTrash() {
        const QString file = home->writeFile("old.txt", "x");
        platform->testDialogs.answers.enqueue(1); // Cancel
        Opener::moveToTrash(QUrl::fromLocalFile(file));
        QCOMPARE(platform->testDialogs.questions.size(), 1);
        QCOMPARE(platform->testDialogs.questions.first().message, QString("Move \u201Cold.txt\u201D to the Trash?"));
        QCOMPARE(platform->testDialogs.questions.first().buttons, QStringList({"Move to Trash", "Cancel"}));
        QVERIFY(QFile::exists(file));
        platform->testDialogs.answers.enqueue(0);
        Opener::moveToTrash(QUrl::fromLocalFile(file));
        QVERIFY(!QFile::exists(file));
        platform->testDialogs.answers.enqueue(0);
        Opener::moveToTrash(QUrl::fromLocalFile(file)); // gone already
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().message, QString("Couldn\u2019t move to Trash"));

        // A name that is not UTF-8 goes to the home Trash with its bytes, twice without clashing.
        const QByteArray raw = QFile::encodeName(home->path()) + "/caf\xe9.txt";
        const QByteArray trash = QFile::encodeName(home->path()) + "/.local/share/Trash";
        for (const QByteArray& kept : {QByteArray("caf\xe9.txt"), QByteArray("caf\xe9.txt 2")}) {
            QVERIFY(::close(::open(raw.constData(), O_CREAT | O_WRONLY, 0600)) == 0);
            platform->testDialogs.answers.enqueue(0);
            Opener::moveToTrash(fileURL(raw));
            QVERIFY(::access(raw.constData(), F_OK) != 0);
            QVERIFY(::access((trash + "/files/" + kept).constData(), F_OK) == 0);
            QVERIFY(::access((trash + "/info/" + kept + ".trashinfo").constData(), F_OK) == 0);
        }
        QCOMPARE(platform->testDialogs.warnings.size(), 1);

        // A home without ~/.local/share gets its Trash made; nothing lands in the working folder.
        qputenv("XDG_DATA_HOME", QFile::encodeName(home->path() + "/new/.local/share"));
        const QString work = home->makeFolder("work");
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work);
        auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
        const QString notes = home->writeFile("code/notes.md", "x");
        platform->testDialogs.answers.enqueue(0);
        Opener::moveToTrash(QUrl::fromLocalFile(notes));
        QVERIFY(QFile::exists(home->path() + "/new/.local/share/Trash/files/notes.md"));
        QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
    }
};

TARN_TEST(OpenerTest)
#include "OpenerTest.moc"
