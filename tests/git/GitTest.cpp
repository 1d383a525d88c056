#include "GitFixture.h"
#include "TempHome.h"
#include "TestMain.h"
#include "git/Git.h"
#include "git/GitReaderProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QFile>
#include <QTest>
#include <csignal>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>

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
        QTest::newRow("outdated")
            << GitStatus{"main", 0, 0, 2, true} << "main \u00B7 2 changes \u00B7 may be out of date" << "\u00B12 ?";
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

    // Tarn's reader against `git status --porcelain=v2 --branch`, on every state the corpus
    // script makes: branch, ahead, behind and the number of change lines must all agree.
    void statusAgreesWithGit() {
        const QString root = home->path() + "/states";
        for (const QString& state : corpus("make_states.sh", {root})) {
            const QString path = root + '/' + state;
            const ShellResult plain = Shell::run(
                "/usr/bin/git", {"-C", path, "status", "--porcelain=v2", "--branch"}, Git::env(), 20);
            const std::optional<GitStatus> expected =
                plain.status == 0 ? std::optional(GitStatus::parse(plain.out)) : std::nullopt;
            QVERIFY2(Git::status(at(path)) == expected, qPrintable(state));
        }
    }

    // A repository crafted to cost memory (its HEAD's tree a loose object of a few megabytes
    // that inflates to 1.5 GiB) fails to read inside a reader's bounds; the other
    // repositories read as ever.
    void readersHaveBounds() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer builds leave readers' memory unbounded");
#endif
        const QString bomb = home->path() + "/bomb", fine = home->path() + "/fine";
        test::makeRepo(bomb), test::makeRepo(fine);
        QProcess inflate;
        inflate.start("python3", {"-c", R"(
import hashlib, os, sys, zlib
size = 1536 << 20
header = b"tree %d\0" % size
digest, packer = hashlib.sha1(header), zlib.compressobj(1)
parts, chunk = [packer.compress(header)], bytes(1 << 20)
for _ in range(size >> 20):
    digest.update(chunk)
    parts.append(packer.compress(chunk))
parts.append(packer.flush())
oid = digest.hexdigest()
os.makedirs(os.path.join(sys.argv[1], ".git/objects", oid[:2]), exist_ok=True)
open(os.path.join(sys.argv[1], ".git/objects", oid[:2], oid[2:]), "wb").write(b"".join(parts))
print(oid)
)", bomb});
        QVERIFY(inflate.waitForFinished(120000) && inflate.exitCode() == 0);
        const QString tree = QString::fromLatin1(inflate.readAllStandardOutput()).trimmed();
        QProcess commit;
        commit.start("git", {"-C", bomb, "hash-object", "-t", "commit", "-w", "--literally", "--stdin"});
        commit.write(("tree " + tree + "\nauthor a <a@b> 0 +0000\ncommitter a <a@b> 0 +0000\n\nbomb\n").toUtf8());
        commit.closeWriteChannel();
        QVERIFY(commit.waitForFinished(20000) && commit.exitCode() == 0);
        test::git(bomb, {"update-ref", "refs/heads/main", QString::fromLatin1(commit.readAllStandardOutput()).trimmed()});

        GitReaderProcess::shared().stopIdleWorkers();
        QCOMPARE(Git::status(at(bomb)), std::nullopt);
        QCOMPARE(Git::status(at(fine)), (GitStatus{"main", 0, 0, 0}));
        GitReaderProcess::shared().stopIdleWorkers(); // reaped, so that their peak is counted
        rusage children {};
        QCOMPARE(::getrusage(RUSAGE_CHILDREN, &children), 0);
        QVERIFY2(children.ru_maxrss < (1 << 20), qPrintable(QString::number(children.ru_maxrss))); // KiB
    }

    // Every way a repository's own configuration makes `git status` run a command: Tarn's read
    // runs none of them and still reports the status (or none where the read would need to
    // fetch). Plain git then runs each, which proves the trap real.
    void hostileRepositoriesRunNothing() {
        const QString root = home->path() + "/hostile", markers = home->path() + "/markers";
        for (const QString& line : corpus("make_hostile.sh", {root, markers})) {
            const QString name = line.section('\t', 0, 0), expected = line.section('\t', 1);
            const std::optional<GitStatus> status = Git::status(at(root + '/' + name));
            const QString got = status ? status->branch + ' ' + QString::number(status->changes) : "none";
            QVERIFY2(got == expected, qPrintable(name + ": " + got));
            QVERIFY2(QDir(markers).isEmpty(), qPrintable(name + " ran a command"));
            Shell::run("/usr/bin/git", {"-C", root + '/' + name, "status"}, {}, 20);
            QVERIFY2(QFile::exists(markers + '/' + name), qPrintable(name + ": the trap is not real"));
            QFile::remove(markers + '/' + name);
        }
    }

    // A read that never ends (a named pipe included as config or as the index, /dev/zero
    // included, a config of a gigabyte) costs its worker, killed at the time-out and marked outdated; a pipe given as
    // the commondir of a linked work tree is refused. The other repositories still read, then
    // and afterwards.
    void hungReadsCostOneWorker() {
        GitReaderProcess::shared().setTimeouts(std::chrono::seconds(5), std::chrono::seconds(5));
        const QString fine = home->path() + "/fine";
        test::makeRepo(fine);
        QStringList hostile;
        for (const char* name : {"fifo", "zero", "huge", "commondir", "index"}) {
            const QString repo = home->path() + '/' + name;
            test::makeRepo(repo);
            hostile << repo;
        }
        QVERIFY(::mkfifo(QFile::encodeName(home->path() + "/pipe").constData(), 0600) == 0);
        test::git(hostile[0], {"config", "include.path", home->path() + "/pipe"});
        test::git(hostile[1], {"config", "include.path", "/dev/zero"});
        test::git(hostile[3], {"worktree", "add", "-q", "-b", "topic", home->path() + "/linked"});
        QFile::remove(hostile[3] + "/.git/worktrees/linked/commondir");
        QVERIFY(::mkfifo(QFile::encodeName(hostile[3] + "/.git/worktrees/linked/commondir").constData(), 0600) == 0);
        hostile[3] = home->path() + "/linked";
        QFile::remove(hostile[4] + "/.git/index");
        QVERIFY(::mkfifo(QFile::encodeName(hostile[4] + "/.git/index").constData(), 0600) == 0);
        QFile huge(hostile[2] + "/.git/config");
        QVERIFY(huge.open(QIODevice::Append) && huge.resize(std::int64_t(1) << 30));
        huge.close();

        // Idle workers left by earlier reads would serve these without a start.
        GitReaderProcess::shared().stopIdleWorkers();
        const int before = GitReaderProcess::shared().started();
        std::vector<std::future<std::optional<GitStatus>>> reads;
        for (const QString& repo : hostile + QStringList{fine, fine, fine})
            reads.push_back(std::async(std::launch::async, [repo] { return Git::status(at(repo)); }));
        QCOMPARE(reads[0].get(), unread);
        reads[1].get(), reads[2].get();
        QCOMPARE(reads[3].get(), std::nullopt);
        QCOMPARE(reads[4].get(), unread);
        for (int i = 5; i < 8; ++i) QCOMPARE(reads[i].get(), (GitStatus{"main", 0, 0, 0}));
        QCOMPARE(Git::status(at(fine)), (GitStatus{"main", 0, 0, 0}));
        QVERIFY(GitReaderProcess::shared().started() > before);
        // The one that timed out is left alone for a while: no worker, no wait.
        const int afterwards = GitReaderProcess::shared().started();
        QElapsedTimer again;
        again.start();
        QCOMPARE(Git::status(at(hostile[0])), unread);
        QCOMPARE(Git::status(at(hostile[4])), unread);
        QVERIFY(again.elapsed() < 1000);
        QCOMPARE(GitReaderProcess::shared().started(), afterwards);
        GitReaderProcess::shared().setTimeouts(GitReaderProcess::statusTimeout,
                                               GitReaderProcess::remoteTimeout);
    }

    // A submodule whose git folder names the outer work tree as its own holds itself: read to
    // a bounded depth, it is one change (its commit moved), not a crash.
    void submoduleCycleEnds() {
        const QString repo = home->path() + "/repo";
        test::makeRepo(repo);
        const QString first = test::git(repo, {"rev-parse", "HEAD"}).out.trimmed();
        test::git(repo, {"update-index", "--add", "--cacheinfo", "160000," + first + ",sub"});
        home->writeFile("repo/.gitmodules", "[submodule \"sub\"]\n\tpath = sub\n\turl = ./\n");
        test::git(repo, {"add", ".gitmodules"});
        test::git(repo, {"commit", "-qm", "sub"});
        QVERIFY(test::git(repo, {"clone", "-q", "--bare", repo, ".git/modules/sub"}).status == 0);
        test::git(repo, {"--git-dir=.git/modules/sub", "config", "core.bare", "false"});
        test::git(repo, {"--git-dir=.git/modules/sub", "config", "core.worktree", "../../.."});
        test::git(repo, {"--git-dir=.git/modules/sub", "read-tree", "HEAD"});
        home->writeFile("repo/sub/.git", "gitdir: ../.git/modules/sub\n");
        QCOMPARE(Git::status(at(repo)), (GitStatus{"main", 0, 0, 1}));
    }

    // A waiting reader killed from outside is reaped at the next sweep, not at the next read.
    void endedReadersAreReaped() {
        const QString repo = home->path() + "/repo";
        test::makeRepo(repo);
        GitReaderProcess::shared().stopIdleWorkers();
        QVERIFY(Git::status(at(repo)));
        const QList<QByteArray> readers = childStates();
        QCOMPARE(readers.size(), 1);
        const int pid = readers[0].split(' ')[0].toInt();
        QCOMPARE(::kill(pid, SIGKILL), 0);
        QTRY_COMPARE(childStates(), QList<QByteArray>{QByteArray::number(pid) + " Z"});
        GitReaderProcess::shared().reapEndedWorkers();
        QCOMPARE(childStates(), QList<QByteArray>{});
        QCOMPARE(Git::status(at(repo)), (GitStatus{"main", 0, 0, 0}));
    }

    // Fetch All touches repositories nobody opened: their hooks, upload-pack and ext:: commands
    // do not run, and the fetch still works. The user's own fetch is plain git.
    void unattendedFetchRunsNothing() {
        const QString remote = home->path() + "/remote";
        const QString repo = home->path() + "/repo";
        const QString marker = home->path() + "/ran";
        test::makeRepo(remote);
        test::git(home->path(), {"clone", "-q", remote, repo});
        test::commitFile(remote, "new", "n");
        test::git(repo, {"config", "remote.origin.uploadpack", "touch '" + marker + "'; git-upload-pack"});
        home->writeFile("repo/.git/hooks/reference-transaction", ("#!/bin/sh\ntouch '" + marker + "'\n").toUtf8());
        QFile::setPermissions(repo + "/.git/hooks/reference-transaction", QFile::ReadOwner | QFile::ExeOwner);

        QCOMPARE(Git::perform(GitOp::fetch, at(repo), true).status, 0);
        QVERIFY(!QFile::exists(marker));
        QCOMPARE(Git::status(at(repo))->behind, 1);
        test::git(repo, {"config", "protocol.ext.allow", "always"});
        test::git(repo, {"config", "remote.origin.url", "ext::sh -c touch% " + marker});
        QVERIFY(Git::perform(GitOp::fetch, at(repo), true).status != 0);
        QVERIFY(!QFile::exists(marker));
        Git::perform(GitOp::fetch, at(repo));
        QVERIFY(QFile::exists(marker));
    }

private:
    // What a read that failed gives: no counts, marked outdated.
    inline static const std::optional<GitStatus> unread = GitStatus{.outdated = true};

    // "<pid> <state>" of each child of this process (the readers: this test starts no other).
    static QList<QByteArray> childStates() {
        QList<QByteArray> children;
        for (const QString& entry : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
            QFile stat("/proc/" + entry + "/stat");
            if (!stat.open(QIODevice::ReadOnly)) continue;
            const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
            if (fields.size() > 1 && fields[1].toLongLong() == ::getpid())
                children << entry.toLatin1() + ' ' + fields[0];
        }
        return children;
    }

    // Runs a corpus script with `arguments`; its output lines.
    static QStringList corpus(const QString& script, const QStringList& arguments) {
        const ShellResult made = Shell::run(GIT_CORPUS "/" + script, arguments, {}, 300);
        if (made.status != 0) qWarning("%s: %s", qPrintable(script), qPrintable(made.err));
        return made.lines();
    }
};

TARN_TEST(GitTest)
#include "GitTest.moc"
