#include "GitFixture.h"
#include "TempHome.h"
#include "TestMain.h"
#include "git/Git.h"

#include <QFile>
#include <QTest>

using namespace tarn;

Q_DECLARE_METATYPE(tarn::GitStatus)

namespace {
QUrl at(const QString& path) { return QUrl::fromLocalFile(path); }
} // namespace

class GitTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;

private Q_SLOTS:
    void init() { home = std::make_unique<test::TempHome>(); }
    void cleanup() { home.reset(); }

    void parse_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<GitStatus>("status");
        QTest::newRow("headers, a change and an untracked file")
            << "# branch.oid 1234\n# branch.head main\n# branch.upstream origin/main\n"
               "# branch.ab +2 -0\n1 .M N... 100644 100644 100644 a b f.txt\n? new.txt\n"
            << GitStatus{"main", 2, 0, 2};
        QTest::newRow("no upstream") << "# branch.head dev\n" << GitStatus{"dev", 0, 0, 0};
        QTest::newRow("count that does not parse") << "# branch.head x\n# branch.ab +x -3\n"
                                                   << GitStatus{"x", 0, 3, 0};
        QTest::newRow("ab with three pieces is ignored") << "# branch.ab +1 -2 +3\n"
                                                        << GitStatus{"?", 0, 0, 0};
        QTest::newRow("empty output") << "" << GitStatus{"?", 0, 0, 0};
        QTest::newRow("renames, unmerged and detached head")
            << "# branch.head (detached)\n2 R. N... 1 1 1 a b R100 new\told\nu UU N... 1 1 1 1 a b c f\n"
            << GitStatus{"(detached)", 0, 0, 2};
        QTest::newRow("later header wins") << "# branch.head a\n# branch.head b feature\n"
                                           << GitStatus{"b feature", 0, 0, 0};
    }

    void parse() {
        QFETCH(QString, output);
        QFETCH(GitStatus, status);
        QCOMPARE(GitStatus::parse(output), status);
    }

    void texts_data() {
        QTest::addColumn<GitStatus>("status");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("counters");
        QTest::newRow("clean") << GitStatus{"main", 0, 0, 0} << "main \u00B7 clean" << "";
        QTest::newRow("one change, behind")
            << GitStatus{"main", 0, 3, 1} << "main \u00B7 1 change \u00B7 \u21910 \u21933"
            << "\u00B11 \u21933";
        QTest::newRow("many")
            << GitStatus{"feature/x", 1, 4, 3} << "feature/x \u00B7 3 changes \u00B7 \u21911 \u21934"
            << "\u00B13 \u21911 \u21934";
    }

    void texts() {
        QFETCH(GitStatus, status);
        QFETCH(QString, summary);
        QFETCH(QString, counters);
        QCOMPARE(status.summary(), summary);
        QCOMPARE(status.counters(), counters);
    }

    void webURL_data() {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("web"); // "" for none
        QTest::newRow("scp form") << "git@github.com:owner/repo.git" << "https://github.com/owner/repo";
        QTest::newRow("https with user") << "https://user@gitlab.com/a/b.git" << "https://gitlab.com/a/b";
        QTest::newRow("ssh with user and port") << "ssh://git@host.example:2222/a/b.git"
                                                << "https://host.example/a/b";
        QTest::newRow("http is upgraded") << "http://host.example/x" << "https://host.example/x";
        QTest::newRow("local path") << "/srv/git/repo.git" << "";
        QTest::newRow("file remote") << "file:///srv/git/repo" << "";
        QTest::newRow("scp form of another user") << "deploy@host.example:a/b.git" << "";
    }

    void webURL() {
        QFETCH(QString, remote);
        QFETCH(QString, web);
        const auto url = Git::webURL(remote);
        QCOMPARE(url ? url->toString() : QString(), web);
    }

    void statusOfRealRepositories() {
        const QString remote = home->path() + "/remote.git";
        const QString repo = home->path() + "/repo";
        QDir().mkpath(remote);
        test::git(remote, {"init", "-q", "--bare", "-b", "main"});
        test::makeRepo(repo);
        test::git(repo, {"remote", "add", "origin", remote});
        test::git(repo, {"push", "-q", "-u", "origin", "main"});
        QCOMPARE(Git::status(at(repo)), (GitStatus{"main", 0, 0, 0}));

        test::commitFile(repo, "a", "1");
        test::commitFile(repo, "b", "2");
        home->writeFile("repo/untracked", "u");
        home->writeFile("repo/README", "edited");
        QCOMPARE(Git::status(at(repo)), (GitStatus{"main", 2, 0, 2}));

        // Another clone pushes; after a fetch we are behind too.
        const QString other = home->path() + "/other";
        test::git(home->path(), {"clone", "-q", remote, other});
        test::commitFile(other, "c", "3");
        test::git(other, {"push", "-q", "origin", "main"});
        QCOMPARE(Git::perform(GitOp::fetch, at(repo)).status, 0);
        QCOMPARE(Git::status(at(repo)), (GitStatus{"main", 2, 1, 2}));

        // Pull fast-forward only: diverged history fails, and says why.
        const ShellResult pull = Git::perform(GitOp::pull, at(repo));
        QVERIFY(pull.status != 0);
        QVERIFY(!pull.err.isEmpty());
        QCOMPARE(Git::perform(GitOp::pull, at(other)).status, 0);
    }

    void statusEdgeCases() {
        const QString fresh = home->path() + "/fresh";
        test::makeRepo(fresh, false);
        QCOMPARE(Git::status(at(fresh)), (GitStatus{"main", 0, 0, 0}));
        home->writeFile("fresh/new.txt", "x");
        QCOMPARE(Git::status(at(fresh))->changes, 1);

        home->makeFolder("plain");
        QCOMPARE(Git::status(at(home->path() + "/plain")), std::nullopt);
        QCOMPARE(Git::status(at(home->path() + "/missing")), std::nullopt);

        const QString repo = home->path() + "/repo";
        test::makeRepo(repo);
        const QString worktree = home->path() + "/wt";
        test::git(repo, {"worktree", "add", "-q", "-b", "topic", worktree});
        QCOMPARE(Git::status(at(worktree)), (GitStatus{"topic", 0, 0, 0}));

        const QString library = home->path() + "/library";
        test::makeRepo(library);
        test::git(repo, {"-c", "protocol.file.allow=always", "submodule", "add", "-q", library, "lib"});
        test::git(repo, {"commit", "-q", "-m", "add lib"});
        QCOMPARE(Git::status(at(repo + "/lib"))->branch, QString("main"));
        home->writeFile("repo/lib/README", "changed inside the submodule");
        QCOMPARE(Git::status(at(repo))->changes, 1);
    }

    void remoteWebURL() {
        const QString repo = home->path() + "/repo";
        test::makeRepo(repo);
        QCOMPARE(Git::remoteWebURL(at(repo)), std::nullopt);
        test::git(repo, {"remote", "add", "origin", "git@github.com:tarn/tarn.git"});
        QCOMPARE(Git::remoteWebURL(at(repo)), QUrl("https://github.com/tarn/tarn"));
        test::git(repo, {"remote", "set-url", "origin", "/srv/local"});
        QCOMPARE(Git::remoteWebURL(at(repo)), std::nullopt);
    }

    // A repository from an archive must not be able to run commands through our status reads.
    void repositoryConfigCannotRunCommands() {
        const QString repo = home->path() + "/unpacked";
        test::makeRepo(repo);
        const QString marker = home->path() + "/fsmonitor-ran";
        test::git(repo, {"config", "core.fsmonitor", "touch '" + marker + "'; false"});

        // Plain git runs it: the trap is real.
        Shell::run("/usr/bin/git", {"-C", repo, "status"}, {}, 20);
        QVERIFY(QFile::exists(marker));
        QFile::remove(marker);

        QVERIFY(Git::status(at(repo)));
        Git::remoteWebURL(at(repo));
        Git::perform(GitOp::fetch, at(repo));
        QVERIFY(!QFile::exists(marker));
    }
};

TARN_TEST(GitTest)
#include "GitTest.moc"
