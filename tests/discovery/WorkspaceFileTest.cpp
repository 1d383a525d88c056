#include "TempHome.h"
#include "TestMain.h"
#include "discovery/WorkspaceFile.h"

#include <QTest>

using namespace tarn;

class WorkspaceFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void stripJSONC_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::newRow("the reference sample")
            << "{\n // c\n \"folders\": [ {\"path\": \"a//b\"}, ], /* x */ }"
            << "{\n \n \"folders\": [ {\"path\": \"a//b\"} ],  }";
        QTest::newRow("ends inside a line comment") << "[1] // tail" << "[1] ";
        QTest::newRow("unterminated block comment") << "[1, /* open" << "[1, ";
        QTest::newRow("star of the opener cannot close") << "a/*/b*/c" << "ac";
        QTest::newRow("escaped quote, then a comment")
            << "[\"a\\\"//b\" // gone\n]" << "[\"a\\\"//b\" \n]";
        QTest::newRow("comma before a comment stays") << "[1, // c\n]" << "[1, \n]";
        QTest::newRow("comma before white space and brace goes") << "{\"a\":1,\n\t}" << "{\"a\":1\n\t}";
        QTest::newRow("comma at the end stays") << "1,  " << "1,  ";
        QTest::newRow("lone slash at the end") << "a/" << "a/";
        QTest::newRow("slash before other text") << "a/b" << "a/b";
        QTest::newRow("backslash at the very end of a string") << "\"ab\\" << "\"ab\\";
        QTest::newRow("unicode kept") << "{\"é\": \"日本\" /* ü */}" << "{\"é\": \"日本\" }";
    }

    void stripJSONC() {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QCOMPARE(WorkspaceFile::stripJSONC(input), output);
    }

    void folders_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("expected"); // "@" is the home folder, "&" the workspace's folder
        QTest::newRow("relative, tilde, file uri, remote uri")
            << QByteArray("{ // folders\n\"folders\": [{\"path\": \"../lib\"}, {\"path\": \"~/src\"},"
                          "{\"uri\": \"file:///tmp/a%20b\"}, {\"uri\": \"vscode-remote://ssh/x\"},"
                          "{\"path\": \"/abs/./x/../y\"}, {\"name\": \"no location\"},],}")
            << QStringList{"@/w/lib", "@/src", "/tmp/a b", "/abs/y"};
        QTest::newRow("trailing commas before comments")
            << QByteArray("{\"folders\":[{\"path\":\"a\"},/* c */],\n// last\n}") << QStringList{"&/a"};
        QTest::newRow("path wins over uri")
            << QByteArray("{\"folders\": [{\"path\": \".\", \"uri\": \"file:///elsewhere\"}]}")
            << QStringList{"&"};
        QTest::newRow("non-string path falls back to uri")
            << QByteArray("{\"folders\": [{\"path\": 3, \"uri\": \"file:///u\"}]}") << QStringList{"/u"};
        QTest::newRow("an element that is not an object empties the list")
            << QByteArray("{\"folders\": [{\"path\": \"a\"}, \"b\"]}") << QStringList{};
        QTest::newRow("folders is not an array") << QByteArray("{\"folders\": {}}") << QStringList{};
        QTest::newRow("not JSON even after stripping") << QByteArray("{folders: []}") << QStringList{};
        QTest::newRow("invalid UTF-8") << QByteArray("{\"folders\": [{\"path\": \"\xff\"}]}")
                                       << QStringList{};
        QTest::newRow("localhost is this machine, another host is not")
            << QByteArray("{\"folders\": [{\"uri\": \"file://localhost/tmp/c\"},"
                          "{\"uri\": \"file://LOCALHOST/tmp/d/\"}, {\"uri\": \"file://server/share\"}]}")
            << QStringList{"/tmp/c", "/tmp/d"};
        QTest::newRow("relative uri is relative to the workspace file")
            << QByteArray("{\"folders\": [{\"uri\": \"file:rel/dir\"}, {\"uri\": \"file:../up%20x\"}]}")
            << QStringList{"&/rel/dir", "@/w/up x"};
        QTest::newRow("unknown user") << QByteArray("{\"folders\": [{\"path\": \"~nosuchuser9/x\"}]}")
                                      << QStringList{};
    }

    void folders() {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, expected);
        test::TempHome home;
        const QString file = home.writeFile("w/x/app.code-workspace", contents);
        QStringList paths;
        for (const QUrl& url : WorkspaceFile::folders(QUrl::fromLocalFile(file))) paths << url.toLocalFile();
        QStringList want;
        for (QString e : expected) want << e.replace("@", home.path()).replace("&", home.path() + "/w/x");
        QCOMPARE(paths, want);
    }

    void primaryRepo() {
        test::TempHome home;
        home.makeFolder("plain");
        home.makeFolder("repo/.git");
        home.writeFile("worktree/.git", "gitdir: /x\n");
        const QString both = home.writeFile(
            "w/both.code-workspace",
            "{\"folders\": [{\"path\": \"../plain\"}, {\"path\": \"../worktree\"}, {\"path\": \"../repo\"}]}");
        const QString none = home.writeFile("w/none.code-workspace", "{\"folders\": [{\"path\": \"../plain\"}]}");
        QCOMPARE(WorkspaceFile::primaryRepo(QUrl::fromLocalFile(both)), home.path() + "/worktree");
        QCOMPARE(WorkspaceFile::primaryRepo(QUrl::fromLocalFile(none)), std::nullopt);
        QCOMPARE(WorkspaceFile::primaryRepo(QUrl::fromLocalFile(home.path() + "/missing.code-workspace")),
                 std::nullopt);
    }
};

TARN_TEST(WorkspaceFileTest)
#include "WorkspaceFileTest.moc"
