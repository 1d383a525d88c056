#include "GitFixture.h"
#include "TempHome.h"
#include "TestMain.h"
#include "git/Git.h"
#include "git/RepoConfig.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace tarn;

Q_DECLARE_METATYPE(tarn::GitStatus)

namespace {
QUrl at(const QString& path) { return QUrl::fromLocalFile(path); }

// Moves the file's time stamp on, as copying or unpacking does, so that status has to read
// its contents (through its filter driver) to tell whether it changed.
void makeStale(const QString& path) {
    static int minutes = 0;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.setFileTime(QDateTime::currentDateTime().addSecs(60 * ++minutes),
                     QFileDevice::FileModificationTime);
}

// Commits a file the attribute `filter=<driver>` applies to, with stale stat data.
void commitFilteredFile(const QString& repo, const QString& driver) {
    test::commitFile(repo, ".gitattributes", "*.txt filter=" + driver + "\n");
    test::commitFile(repo, "data.txt", "payload\n");
    makeStale(repo + "/data.txt");
}

// A shell command that leaves `marker` behind and passes its input on.
QString trap(const QString& marker) { return "touch '" + marker + "'; cat"; }
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
        QTest::newRow("counts are never negative")
            << "# branch.ab +-3 ^-1\n" << GitStatus{"?", 0, 0, 0};
        QTest::newRow("signs swapped or missing") << "# branch.ab -3 +4\n# branch.ab 5 6\n"
                                                  << GitStatus{"?", 0, 0, 0};
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

    void repositoryFiltersDoNotRun_data() {
        QTest::addColumn<QString>("layout");
        QTest::newRow("clean filter in .git/config") << "clean";
        QTest::newRow("process filter in .git/config") << "process";
        QTest::newRow("smudge and clean behind include.path") << "include";
        QTest::newRow("clean filter behind a conditional include") << "includeIf";
        QTest::newRow("clean filter in a submodule's config") << "submodule";
        QTest::newRow("clean filter in a linked work tree's config.worktree") << "worktree";
    }

    // Git 2.39 cannot be told to ignore in-tree attributes, so the drivers they name must be
    // disarmed for every status read Tarn makes by itself.
    void repositoryFiltersDoNotRun() {
        QFETCH(QString, layout);
        const QString marker = home->path() + "/filter-ran";
        QString repo = home->path() + "/unpacked";
        test::makeRepo(repo);
        if (layout == "clean" || layout == "process") {
            test::git(repo, {"config", "filter.evil." + layout, trap(marker)});
        } else if (layout == "include" || layout == "includeIf") {
            home->writeFile("unpacked/.evil.inc", QString("[filter \"evil\"]\n\tclean = " + trap(marker) +
                                                          "\n\tsmudge = " + trap(marker) + "\n")
                                                      .toUtf8());
            const QString key = layout == "include" ? "include.path" : "includeIf.gitdir:/.path";
            test::git(repo, {"config", key, "../.evil.inc"});
        } else if (layout == "submodule") {
            const QString library = home->path() + "/library";
            test::makeRepo(library);
            commitFilteredFile(library, "evil");
            test::git(repo, {"-c", "protocol.file.allow=always", "submodule", "add", "-q", library,
                             "lib"});
            test::git(repo, {"commit", "-q", "-m", "add lib"});
            test::git(repo + "/lib", {"config", "filter.evil.clean", trap(marker)});
            makeStale(repo + "/lib/data.txt");
        } else if (layout == "worktree") {
            test::git(repo, {"config", "extensions.worktreeConfig", "true"});
            const QString linked = home->path() + "/linked";
            test::git(repo, {"worktree", "add", "-q", "-b", "topic", linked});
            test::git(linked, {"config", "--worktree", "filter.evil.clean", trap(marker)});
            repo = linked;
        }
        if (layout != "submodule") commitFilteredFile(repo, "evil");
        QFile::remove(marker);
        const QStringList keys = RepoConfig::filterKeys(RepoConfig::files(repo)).values();
        QVERIFY(!keys.filter(QRegularExpression("^filter\\.evil\\.")).isEmpty());

        // Plain git runs the driver: the trap is real.
        Shell::run("/usr/bin/git", {"-C", repo, "status", "--porcelain"}, {}, 20);
        QVERIFY(QFile::exists(marker));
        QFile::remove(marker);
        makeStale(repo + (layout == "submodule" ? "/lib" : "") + "/data.txt");

        QVERIFY(Git::status(at(repo)));
        QVERIFY2(!QFile::exists(marker), "a status read ran the repository's filter");
    }

    // git-lfs and friends install their driver in the user's global config; a repository that
    // names the same driver must not switch it off, nor replace its command.
    void globalFiltersStillRun() {
        const QString marker = home->path() + "/global-ran";
        const QString hostile = home->path() + "/hostile-ran";
        home->writeFile(".gitconfig", QString("[filter \"lfs\"]\n\tclean = " + trap(marker) + "\n")
                                          .toUtf8());
        const QString repo = home->path() + "/repo";
        test::makeRepo(repo);
        commitFilteredFile(repo, "lfs");
        test::git(repo, {"config", "filter.lfs.clean", trap(hostile)});
        makeStale(repo + "/data.txt");
        QFile::remove(marker);
        QFile::remove(hostile);

        QVERIFY(Git::status(at(repo)));
        QVERIFY(QFile::exists(marker));
        QVERIFY(!QFile::exists(hostile));
    }

    // Configuration the user passes through the environment survives ours.
    void userEnvironmentPairsAreKept() {
        const QString repo = home->path() + "/repo";
        test::makeRepo(repo);
        commitFilteredFile(repo, "evil");
        test::git(repo, {"config", "filter.evil.clean", "cat"});
        home->writeFile("repo/untracked", "u");
        QCOMPARE(Git::status(at(repo))->changes, 1);

        qputenv("GIT_CONFIG_COUNT", "1");
        qputenv("GIT_CONFIG_KEY_0", "status.showUntrackedFiles");
        qputenv("GIT_CONFIG_VALUE_0", "no");
        const auto status = Git::status(at(repo));
        const QHash<QString, QString> variables = RepoConfig::environment(Git::env(), {{"a.b", "c"}});
        qunsetenv("GIT_CONFIG_COUNT");
        qunsetenv("GIT_CONFIG_KEY_0");
        qunsetenv("GIT_CONFIG_VALUE_0");
        QVERIFY(status);
        QCOMPARE(status->changes, 0);
        QCOMPARE(variables.value("GIT_CONFIG_COUNT"), QString("3"));
        QCOMPARE(variables.value("GIT_CONFIG_KEY_1"), QString("core.fsmonitor"));
        QCOMPARE(variables.value("GIT_CONFIG_KEY_2"), QString("a.b"));
        QVERIFY(!variables.contains("GIT_CONFIG_KEY_0"));
    }
};

TARN_TEST(GitTest)
#include "GitTest.moc"
