#include "TempHome.h"
#include "TestMain.h"
#include "discovery/Scanner.h"

#include <QFile>
#include <QTest>

using namespace tarn;

namespace {
QStringList describe(const QList<Entry>& entries, const QString& home) {
    QStringList out;
    for (const Entry& e : entries) {
        QString path = e.url.toLocalFile();
        path.replace(home + '/', QString());
        out << e.title + (e.hint ? "[" + *e.hint + "]" : QString()) + "=" + path;
    }
    return out;
}
} // namespace

class ScannerTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;

    void repo(const QString& relative) { home->makeFolder(relative + "/.git"); }
    void workspace(const QString& relative, const QByteArray& contents = "{\"folders\": []}") {
        home->writeFile(relative, contents);
    }
    QUrl root(const QString& relative) { return QUrl::fromLocalFile(home->path() + '/' + relative); }

private Q_SLOTS:
    void init() { home = std::make_unique<test::TempHome>(); }
    void cleanup() { home.reset(); }

    void findsByTheRules() {
        repo("r/top");                        // depth 1
        repo("r/a/b/deep3");                  // depth 3: found
        repo("r/a/b/c/deep4");                // depth 4: not found
        workspace("r/a/b/w3.code-workspace");  // depth 3: found
        workspace("r/a/b/c/w4.code-workspace"); // depth 4: not found
        repo("r/build/inbuild");              // skipped name
        workspace("r/node_modules/x.code-workspace");
        repo("r/Build/cased");                // differs in case: entered
        repo("r/.hidden/secret");             // hidden: not entered
        workspace("r/.dot.code-workspace");   // hidden
        repo("r/Tool.app/inner");             // package: not entered
        repo("r/Tool.app");                   // ...but a package with .git is itself reported
        repo("r/top/nested");                 // inside a repository found first
        repo("r/top2");                       // a sibling whose name extends another's
        home->writeFile("r/gitfile/.git", "gitdir: /x\n"); // worktree-style
        QFile::link(home->path() + "/r/top", home->path() + "/r/link-to-top");
        QFile::link(home->path() + "/elsewhere", home->path() + "/r/link-out");
        repo("elsewhere/shouldnt");

        const ScanResult result = Scanner::scan({root("r")});
        QCOMPARE(describe(result.repos, home->path()),
                 QStringList({"cased=r/Build/cased", "deep3=r/a/b/deep3", "gitfile=r/gitfile",
                              "Tool.app=r/Tool.app", "top=r/top", "top2=r/top2"}));
        QCOMPARE(describe(result.workspaces, home->path()), QStringList({"w3=r/a/b/w3.code-workspace"}));
    }

    void overlappingRootsAndRootRepos() {
        repo("r");
        repo("r/inner");
        workspace("r/x/w.code-workspace");
        const ScanResult result = Scanner::scan({root("r"), root("r/x"), root("r")});
        QCOMPARE(describe(result.repos, home->path()), QStringList({"r=r"}));
        QCOMPARE(result.workspaces.size(), 1);
    }

    // A pinned folder that is a link into another pinned folder adds nothing twice.
    void linkedRootsAreOneFolder() {
        repo("code/app");
        repo("code/lib/inner");
        workspace("code/app.code-workspace");
        workspace("code/lib/w.code-workspace");
        QVERIFY(QFile::link(home->path() + "/code/lib", home->path() + "/lib-link"));
        QVERIFY(QFile::link(home->path() + "/code", home->path() + "/code-link"));
        const ScanResult result =
            Scanner::scan({root("code"), root("lib-link"), root("code-link")});
        QCOMPARE(describe(result.repos, home->path()), QStringList({"app=code/app", "inner=code/lib/inner"}));
        QCOMPARE(describe(result.workspaces, home->path()),
                 QStringList({"app=code/app.code-workspace", "w=code/lib/w.code-workspace"}));

        // Met first through the link, a finding keeps the path it was met under.
        const ScanResult linkedFirst = Scanner::scan({root("lib-link"), root("code")});
        QCOMPARE(describe(linkedFirst.repos, home->path()),
                 QStringList({"app=code/app", "inner=lib-link/inner"}));
    }

    void outerRepoFoundLaterIsStillAdded() {
        repo("outer/inner");
        repo("outer");
        const ScanResult result = Scanner::scan({root("outer/inner"), root("outer")});
        QCOMPARE(describe(result.repos, home->path()),
                 QStringList({"inner=outer/inner", "outer=outer"}));
    }

    void sortsDisambiguatesAndMaps() {
        repo("r/one/api");
        repo("r/two/API");
        repo("r/folder10");
        repo("r/Folder9");
        workspace("r/one/app.code-workspace", "{\"folders\": [{\"path\": \"api\"}]}");
        workspace("r/two/app.code-workspace", "{\"folders\": [{\"path\": \"nothing\"}]}");
        workspace("r/zeta.code-workspace", "broken");
        const ScanResult result = Scanner::scan({root("r")});
        QStringList titles;
        for (const Entry& e : result.repos) titles << e.title + (e.hint ? "[" + *e.hint + "]" : "");
        QCOMPARE(titles.mid(2), QStringList({"Folder9", "folder10"}));
        QVERIFY(titles.mid(0, 2).contains("api[one]") && titles.mid(0, 2).contains("API[two]"));
        QCOMPARE(describe(result.workspaces, home->path()).size(), 3);
        QVERIFY(result.workspaces[0].hint && result.workspaces[1].hint);
        QCOMPARE(result.workspaces[2].title, QString("zeta"));
        QCOMPARE(result.workspaceRepos,
                 (QHash<QString, QString>{{home->path() + "/r/one/app.code-workspace",
                                           home->path() + "/r/one/api"}}));
        for (const Entry& e : result.repos) QCOMPARE(e.kind, EntryKind::repo);
        for (const Entry& e : result.workspaces) QCOMPARE(e.kind, EntryKind::workspace);
    }

    void missingRootGivesNothing() {
        QCOMPARE(Scanner::scan({root("nowhere")}), ScanResult{});
        QCOMPARE(Scanner::scan({}), ScanResult{});
    }
};

TARN_TEST(ScannerTest)
#include "ScannerTest.moc"
