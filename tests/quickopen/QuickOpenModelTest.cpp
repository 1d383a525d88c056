#include "TempHome.h"
#include "TestMain.h"
#include "TestPlatform.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "index/FileIndex.h"
#include "quickopen/QuickOpenModel.h"

#include <QFile>

#include <QSignalSpy>
#include <QTest>

using namespace tarn;

namespace {
QOEntry item(const QString& title, const QString& detail = QString(), EntryKind kind = EntryKind::file) {
    return {{kind, QUrl::fromLocalFile("/x/" + title), title, std::nullopt, std::nullopt}, detail};
}
QStringList titles(const QList<QOEntry>& entries) {
    QStringList out;
    for (const QOEntry& e : entries) out << e.entry.title;
    return out;
}
} // namespace

class QuickOpenModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ranking_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("only spaces is empty") << "  \t " << QStringList{"apple", "api", "map", "Api", "notes"};
        QTest::newRow("exact, then prefix, equal titles in catalogue order")
            << " ap " << QStringList{"api", "Api", "apple", "map"};
        QTest::newRow("detail only scores 100, below substring matches")
            << "work" << QStringList{"notes"};
        QTest::newRow("no match") << "zzz" << QStringList{};
        QTest::newRow("a line break is not trimmed") << "api\n" << QStringList{};
        QTest::newRow("Unicode spaces are trimmed") << "\u00A0api\u3000" << QStringList{"api", "Api"};
        QTest::newRow("a lone ideographic space is empty")
            << "\u3000" << QStringList{"apple", "api", "map", "Api", "notes"};
    }

    void ranking() {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        QuickOpenModel model;
        model.setAll({item("apple"), item("api"), item("map"), item("Api"), item("notes", "In WORK")});
        model.setQuery(query);
        model.move(1);
        model.recompute();
        QCOMPARE(titles(model.results()), expected);
        QCOMPARE(model.selection(), 0);
        QCOMPARE(model.selected().has_value(), !expected.isEmpty());
    }

    // The catalogue's entries first, ranked as ever for one word; the file index's items after
    // them, by score, then shorter path, without the catalogue's own; several words match paths.
    void indexItemsFollowTheCatalogue_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected"); // paths below the home
        QTest::newRow("one word") << "api" << QStringList{"code/acme/api", "code/oss/api", "code/acme/api/api.go", "code/apiary.txt"};
        QTest::newRow("folder and name") << "acme api" << QStringList{"code/acme/api", "code/acme/api/api.go"};
        QTest::newRow("with a slash") << "oss/api" << QStringList{"code/oss/api"};
        QTest::newRow("deep file") << "design rfc" << QStringList{"Documents/design/rfc-012-caching.md"};
        QTest::newRow("words out of order") << "api acme" << QStringList{};
        QTest::newRow("ties by name") << "todo" << QStringList{"code/aa/todo.txt", "code/zz/todo.txt"};
    }
    void indexItemsFollowTheCatalogue() {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        test::TempHome home;
        for (const char* file : {"code/acme/api/api.go", "code/oss/api/main.c", "code/apiary.txt", "code/zz/todo.txt",
                                 "code/aa/todo.txt", "Documents/design/rfc-012-caching.md", "Documents/design/notes.md"})
            home.writeFile(file, "x");
        FileIndex index;
        // code/acme pinned too: its items are in two segments, and shown once.
        index.setRoots({{QFile::encodeName(home.path() + "/code"), {}}, {QFile::encodeName(home.path() + "/Documents"), {}},
                        {QFile::encodeName(home.path() + "/code/acme"), {}}});
        QTRY_VERIFY(!index.isIndexing() && index.fileCount() == 8);
        QuickOpenModel model;
        model.setIndex(&index);
        const auto repo = [&](const QString& path) {
            return QOEntry{{EntryKind::repo, QUrl::fromLocalFile(home.path() + path), "api", std::nullopt, std::nullopt}, "Repository"};
        };
        model.setAll({repo("/code/acme/api"), repo("/code/oss/api")});
        model.setQuery(query);
        model.recompute();
        QStringList got;
        for (const QOEntry& e : model.results()) got << e.entry.url.toLocalFile().mid(home.path().size() + 1);
        QCOMPARE(got, expected);
    }

    void capAndMoves() {
        QuickOpenModel model;
        QList<QOEntry> many;
        for (int i = 0; i < 250; ++i) many << item(QString("item%1").arg(i));
        model.setAll(many);
        model.recompute();
        QCOMPARE(model.results().size(), 100);
        QCOMPARE(model.results().last().entry.title, QString("item99"));
        model.move(-1);
        QCOMPARE(model.selection(), 0);
        model.move(500);
        QCOMPARE(model.selection(), 99);
        model.move(1);
        QCOMPARE(model.selection(), 99);
        model.setAll({});
        model.recompute();
        model.move(1);
        QCOMPARE(model.selection(), 0);
        QVERIFY(!model.selected());
    }

    // Observers hear of real changes only (the catalogue and results every time).
    void signalsOnlyOnChange() {
        QuickOpenModel model;
        QSignalSpy query(&model, &QuickOpenModel::queryChanged), git(&model, &QuickOpenModel::gitVersionChanged),
            results(&model, &QuickOpenModel::resultsChanged), selection(&model, &QuickOpenModel::selectionChanged);
        model.setQuery("a");
        model.setQuery("a");
        model.setGitVersion(1);
        model.setGitVersion(1);
        model.recompute();
        model.recompute();
        QCOMPARE(query.size(), 1);
        QCOMPARE(git.size(), 1);
        QCOMPARE(results.size(), 2);
        QCOMPARE(selection.size(), 0);
    }

    void subtitleWithGit() {
        test::TempHome home;
        test::TestPlatform platform;
        GitStore::shared().reset();
        const QString repo = home.makeFolder("tarn");
        const QOEntry entry{{EntryKind::repo, QUrl::fromLocalFile(repo), "tarn", {}, {}}, "Repository \u00B7 ~/tarn"};
        QuickOpenModel model;
        QCOMPARE(model.subtitle(entry), QString("Repository \u00B7 ~/tarn"));
        GitStore::shared().setStatusReader([](const QString&) { return GitStatus{"main", 0, 0, 1}; });
        GitStore::shared().refresh({repo}, true);
        QTRY_VERIFY(GitStore::shared().status(repo));
        QCOMPARE(model.subtitle(entry), QString("Repository \u00B7 ~/tarn  \u00B7  main \u00B7 1 change"));
        QCOMPARE(model.subtitle(QOEntry{entry.entry, QString()}), QString("main \u00B7 1 change"));
        GitStore::shared().reset();
    }
};

TARN_TEST(QuickOpenModelTest)
#include "QuickOpenModelTest.moc"
