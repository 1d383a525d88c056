#include "TempHome.h"
#include "TestMain.h"
#include "discovery/Recents.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace tarn;

class RecentsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;
    QString storage;
    QDateTime base = QDateTime::currentDateTime().addDays(-10);

    // A workspaceStorage child recording `json`, dated `minutes` after the base through its
    // state.vscdb (or the folder itself when `withDatabase` is false).
    void record(const QString& hash, const QByteArray& json, int minutes, bool withDatabase = true) {
        const QString child = storage + '/' + hash;
        home->writeFile(".config/Code/User/workspaceStorage/" + hash + "/workspace.json", json);
        const QDateTime when = base.addSecs(minutes * 60);
        if (withDatabase) {
            home->writeFile(".config/Code/User/workspaceStorage/" + hash + "/state.vscdb", "db");
            setModified(child + "/state.vscdb", when);
            setModified(child, base.addYears(-5));
        } else {
            setModified(child, when);
        }
    }
    static void setModified(const QString& path, const QDateTime& when) {
        QFile file(path);
        if (QFileInfo(path).isDir()) {
            // QFile cannot open folders; touch is simplest.
            QProcess::execute("touch", {"-d", when.toString(Qt::ISODate), path});
            return;
        }
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
    }
    QByteArray folderJson(const QString& relative) {
        return "{\"folder\": \"" + QUrl::fromLocalFile(home->path() + '/' + relative).toEncoded() + "\"}";
    }
    QStringList titles(const RecentsResult& r) {
        QStringList out;
        for (const Entry& e : r.entries) out << e.title + (e.hint ? "[" + *e.hint + "]" : "");
        return out;
    }

private Q_SLOTS:
    void init() {
        home = std::make_unique<test::TempHome>();
        storage = home->path() + "/.config/Code/User/workspaceStorage";
    }
    void cleanup() { home.reset(); }

    // A Flatpak editor keeps its storage inside its sandbox folder.
    void flatpakStorage() {
        home->makeFolder("src/app");
        const QString sandbox = ".var/app/com.visualstudio.code/config/Code/User/workspaceStorage/";
        home->writeFile(sandbox + "h1/workspace.json", folderJson("src/app"));
        QCOMPARE(Recents::dataFolder("Code"), home->path() + "/.var/app/com.visualstudio.code/config/Code");
        QCOMPARE(titles(Recents::load("Code", 10)), QStringList{"app"});
        // The native folder, when there is one, comes first.
        home->makeFolder(".config/Code");
        QCOMPARE(Recents::dataFolder("Code"), home->path() + "/.config/Code");
    }

    void newestFirstWithTheRules() {
        home->makeFolder("src/old");
        home->makeFolder("src/new");
        home->makeFolder("src/repo/.git");
        home->makeFolder("src/nodb");
        home->writeFile("ws/api.code-workspace", "{\"folders\": [{\"path\": \"../src/repo\"}]}");
        record("a", folderJson("src/old"), 1);
        record("b", folderJson("src/new"), 50);
        record("c", folderJson("src/new") .replace("new\"", "new/\""), 10); // same folder, older
        record("d", folderJson("src/repo"), 30);
        record("e", "{\"workspace\": \"" + QUrl::fromLocalFile(home->path() + "/ws/api.code-workspace").toEncoded() +
                        "\", \"folder\": \"file:///ignored\"}", 40);
        record("f", folderJson("src/nodb"), 20, false);
        record("g", folderJson("src/deleted"), 60);
        record("h", "{\"folder\": \"vscode-remote://ssh-remote+box/home/x\"}", 70);
        record("i", "{\"workspace\": \"" + QUrl::fromLocalFile(home->path() + "/.config/Code/Workspaces/1/workspace.json").toEncoded() + "\"}", 80);
        home->writeFile(".config/Code/Workspaces/1/workspace.json", "{}");
        record("j", "{\"workspace\": 3, \"folder\": \"file:///tmp\"}", 90);
        record("k", "not json", 100);
        record(".hidden", folderJson("src/old"), 200);

        const RecentsResult result = Recents::load("Code", 40);
        QCOMPARE(titles(result), QStringList({"new", "api", "repo", "nodb", "old"}));
        QCOMPARE(result.entries[1].kind, EntryKind::workspace);
        QCOMPARE(result.entries[2].kind, EntryKind::repo);
        QCOMPARE(result.entries[3].kind, EntryKind::folder);
        QCOMPARE(result.workspaceRepos, (QHash<QString, QString>{{home->path() + "/ws/api.code-workspace",
                                                                  home->path() + "/src/repo"}}));
    }

    // JSON written with single quotes, for legibility.
    static QByteArray json(const char* text) { return QByteArray(text).replace('\'', '"'); }

    void recordedLocation_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("location"); // empty: none
        QTest::newRow("folder") << json("{'folder':'file:///home/u/a%20b'}") << "file:///home/u/a b";
        QTest::newRow("workspace wins") << json("{'folder':'file:///a','workspace':'file:///w.code-workspace'}")
                                        << "file:///w.code-workspace";
        QTest::newRow("localhost") << json("{'folder':'file://localhost/srv'}") << "file://localhost/srv";
        QTest::newRow("another machine") << json("{'folder':'file://server/share'}") << "";
        QTest::newRow("relative path") << json("{'folder':'file:src/app'}") << "";
        QTest::newRow("no path, only a query") << json("{'workspace':'file:?/e-workspace'}") << "";
        QTest::newRow("remote") << json("{'folder':'vscode-remote://wsl+Ubuntu/home/u'}") << "";
        QTest::newRow("not an object") << json("['file:///a']") << "";
    }
    void recordedLocation() {
        QFETCH(QByteArray, json);
        QFETCH(QString, location);
        const std::optional<QUrl> url = Recents::recordedLocation(json);
        QCOMPARE(url ? url->toString() : QString(), location);
    }

    void limitKeepsTheNewest() {
        for (int i = 0; i < 100; ++i) {
            home->makeFolder(QString("p/f%1").arg(i));
            record(QString("h%1").arg(i), folderJson(QString("p/f%1").arg(i)), i);
        }
        const RecentsResult result = Recents::load("Code", 40);
        QCOMPARE(result.entries.size(), 40);
        QCOMPARE(result.entries.first().title, QString("f99"));
        QCOMPARE(result.entries.last().title, QString("f60"));
    }

    void clashingTitlesAreHinted() {
        home->makeFolder("one/app");
        home->makeFolder("two/app");
        record("a", folderJson("one/app"), 1);
        record("b", folderJson("two/app"), 2);
        QCOMPARE(titles(Recents::load("Code", 40)), QStringList({"app[two]", "app[one]"}));
    }

    void missingStorageIsEmpty() {
        QCOMPARE(Recents::load("Cursor", 40), RecentsResult{});
        QCOMPARE(Recents::dataFolder("Code - Insiders"), home->path() + "/.config/Code - Insiders");
    }
};

TARN_TEST(RecentsTest)
#include "RecentsTest.moc"
