#include "TestMain.h"
#include "TestPlatform.h"
#include "model/JsonReader.h"
#include "model/Store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace tarn;

namespace {
// JSON written with single quotes, so the cases stay readable.
QByteArray json(const char* text) { return QByteArray(text).replace('\'', '"'); }
} // namespace

Q_DECLARE_METATYPE(tarn::DefaultsValue)

// How stored settings decode and encode.
class StoreRecordsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestPlatform> platform;
    Store& store = Store::shared();

    using Defaults = test::MemoryDefaults;
    void storeData(const char* key, const QByteArray& json) {
        platform->memoryDefaults.setData(key, json);
    }

private Q_SLOTS:
    void init() { platform = std::make_unique<test::TestPlatform>(); }
    void cleanup() { platform.reset(); }

    // A value that does not decode reads as empty, but is kept aside before it is replaced.
    void unreadableValuesAreBackedUpBeforeReplacement_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("readable");
        QTest::newRow("pinned folder with one wrong-typed field") << Keys::pinnedFolders << false;
        QTest::newRow("readable pinned folders") << Keys::pinnedFolders << true;
        QTest::newRow("favorites that do not parse") << Keys::favorites << false;
        QTest::newRow("sections of an unknown mode") << Keys::sections << false;
        QTest::newRow("shortcut folder modes that are not an object") << Keys::shortcutFolderModes << false;
        QTest::newRow("history that is no string list") << Keys::history << false;
        QTest::newRow("readable history") << Keys::history << true;
    }

    void unreadableValuesAreBackedUpBeforeReplacement() {
        QFETCH(QString, key);
        QFETCH(bool, readable);
        Defaults& d = platform->memoryDefaults;
        if (key == Keys::pinnedFolders)
            d.setData(key, readable ? json("[{'path':'/a'}]") : json("[{'path':'/a'},{'path':'/b','inline':1}]"));
        else if (key == Keys::favorites) d.setData(key, "[{");
        else if (key == Keys::sections) d.setData(key, json("[{'id':'recent','mode':'sideways'}]"));
        else if (key == Keys::shortcutFolderModes) d.setData(key, "[]");
        else if (readable) d.setStringArray(key, {"/x"});
        else d.setBool(key, true);

        if (key == Keys::pinnedFolders) store.addFolder(QUrl::fromLocalFile("/c"));
        else if (key == Keys::favorites) store.addLink("Docs", "https://example.com", std::nullopt);
        else if (key == Keys::sections) store.moveSection(SectionID::recent, 1);
        else if (key == Keys::shortcutFolderModes) store.setShortcutFolderModes({});
        else store.recordHistory(QUrl::fromLocalFile("/y"));

        QCOMPARE(platform->memoryDefaults.backups, readable ? QStringList{} : QStringList{key});
    }

    void pinnedFolderDecoding_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("count"); // -1: list reads as empty
        QTest::addColumn<QByteArray>("firstExpected");
        QTest::newRow("only path takes every default")
            << json("[{'path':'/p'}]") << 1
            << json("{'path':'/p','inline':false,'options':{'sort':'name','ascending':true,"
                    "'foldersFirst':true,'showHidden':false,'hideWhenEmpty':false,'itemLimit':300}}");
        QTest::newRow("options with only itemLimit")
            << json("[{'path':'/p','options':{'itemLimit':20}}]") << 1
            << json("{'path':'/p','options':{'itemLimit':20}}");
        QTest::newRow("unknown keys ignored, editor kept")
            << json("[{'path':'/p','extra':[1],'editorID':'com.microsoft.VSCode','inline':true}]")
            << 1 << json("{'path':'/p','inline':true,'editorID':'com.microsoft.VSCode'}");
        QTest::newRow("one element without path empties the list")
            << json("[{'path':'/p'},{'inline':true}]") << -1 << QByteArray();
        QTest::newRow("unknown sort key") << json("[{'path':'/p','options':{'sort':'color'}}]")
                                          << -1 << QByteArray();
        QTest::newRow("largest 64-bit item limit")
            << json("[{'path':'/p','options':{'itemLimit':9223372036854775807}}]") << 1
            << json("{'path':'/p','options':{'itemLimit':9223372036854775807}}");
        QTest::newRow("smallest 64-bit item limit")
            << json("[{'path':'/p','options':{'itemLimit':-9223372036854775808}}]") << 1
            << json("{'path':'/p','options':{'itemLimit':-9223372036854775808}}");
        QTest::newRow("item limit past 64 bits")
            << json("[{'path':'/p','options':{'itemLimit':9223372036854775808}}]") << -1 << QByteArray();
        QTest::newRow("whole number written as a double")
            << json("[{'path':'/p','options':{'itemLimit':2.0e1}}]") << 1
            << json("{'path':'/p','options':{'itemLimit':20}}");
        QTest::newRow("fractional item limit")
            << json("[{'path':'/p','options':{'itemLimit':2.5}}]") << -1 << QByteArray();
        QTest::newRow("boolean as string") << json("[{'path':'/p','inline':'yes'}]") << -1
                                           << QByteArray();
        QTest::newRow("not JSON") << QByteArray("[{") << -1 << QByteArray();
        QTest::newRow("an object, not an array") << json("{'path':'/p'}") << -1
                                                 << QByteArray();
    }

    void pinnedFolderDecoding() {
        QFETCH(QByteArray, json);
        QFETCH(int, count);
        QFETCH(QByteArray, firstExpected);
        storeData(Keys::pinnedFolders, json);
        const QList<PinnedFolder> folders = store.pinnedFolders();
        if (count < 0) {
            QVERIFY(folders.isEmpty());
            QCOMPARE(platform->memoryDefaults.data(Keys::pinnedFolders), json); // untouched
            return;
        }
        QCOMPARE(folders.size(), count);
        // The expected object lists only what differs from a new record's defaults.
        const auto expected = PinnedFolder::fromJson(QJsonDocument::fromJson(firstExpected).object());
        QVERIFY(expected);
        QCOMPARE(folders.first(), *expected);
        // What was read is written back unchanged.
        QCOMPARE(decodeList<PinnedFolder>(encodeList(folders)), std::optional(folders));
        if (json.contains("itemLimit\":20")) {
            QCOMPARE(folders.first().options.itemLimit, 20);
            QCOMPARE(folders.first().options.sort, SortKey::name);
            QVERIFY(folders.first().options.foldersFirst);
        }
    }

    void favoritesDecoding_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("readable");
        QTest::newRow("path and link") << json(
            "[{'kind':'path','value':'/a','title':'A'},{'kind':'link','value':'https://x','title':'X','group':'G'}]")
                                       << true;
        QTest::newRow("unknown kind") << json("[{'kind':'file','value':'/a','title':'A'}]")
                                      << false;
        QTest::newRow("missing title") << json("[{'kind':'path','value':'/a'}]") << false;
        QTest::newRow("group of wrong type")
            << json("[{'kind':'path','value':'/a','title':'A','group':3}]") << false;
    }

    void favoritesDecoding() {
        QFETCH(QByteArray, json);
        QFETCH(bool, readable);
        storeData(Keys::favorites, json);
        QCOMPARE(!store.favorites().isEmpty(), readable);
    }

    void optionalFieldsAreLeftOut() {
        store.setFavorites({Favorite{Favorite::Kind::path, "/a", "A", std::nullopt}});
        store.setPinnedFolders({PinnedFolder{"/p", false, {}, std::nullopt}});
        const QByteArray favorites = *platform->memoryDefaults.data(Keys::favorites);
        const QByteArray folders = *platform->memoryDefaults.data(Keys::pinnedFolders);
        QVERIFY(!favorites.contains("group"));
        QVERIFY(!folders.contains("editorID"));
        QVERIFY(!favorites.contains('\n')); // compact
        QCOMPARE(QJsonDocument::fromJson(favorites).array().at(0).toObject().value("kind").toString(),
                 QString("path"));
    }

    void recordsRoundTrip() {
        const QList<ShortcutFolder> folders{
            {QUuid::createUuid(), "Build", ShortcutFolder::Style::section, {"a", "b"}},
            {QUuid::createUuid(), "Empty", ShortcutFolder::Style::plain, {}}};
        store.setShortcutFolders(folders);
        QCOMPARE(store.shortcutFolders(), folders);
        const QByteArray bytes = *platform->memoryDefaults.data(Keys::shortcutFolders);
        QVERIFY(bytes.contains(uuidText(folders[0].id).toLatin1()));
        QCOMPARE(uuidText(folders[0].id), uuidText(folders[0].id).toUpper());

        PinnedFolder full{"/p", true, {SortKey::size, false, false, true, true, 7}, "dev.zed.Zed"};
        store.setPinnedFolders({full});
        QCOMPARE(store.pinnedFolders(), QList<PinnedFolder>{full});

        const QMap<QString, SectionMode> modes{{"Work", SectionMode::hidden},
                                               {"Home", SectionMode::inline_}};
        store.setShortcutFolderModes(modes);
        QCOMPARE(store.shortcutFolderModes(), modes);
    }

    void shortcutFolderIDs_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("readable");
        QTest::newRow("upper case") << "E621E1F8-C36C-495A-93FC-0C247A3E6E5F" << true;
        QTest::newRow("lower case") << "e621e1f8-c36c-495a-93fc-0c247a3e6e5f" << true;
        QTest::newRow("braces") << "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}" << false;
        QTest::newRow("not a UUID") << "folder-1" << false;
    }

    void shortcutFolderIDs() {
        QFETCH(QString, id);
        QFETCH(bool, readable);
        storeData(Keys::shortcutFolders,
                  QString(json("[{'id':'%1','name':'N','style':'plain','shortcutIDs':[]}]")).arg(id).toUtf8());
        QCOMPARE(store.shortcutFolders().size(), readable ? 1 : 0);
    }

    void effectiveSections_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing stored")
            << QByteArray()
            << "favorites:inline recent:inline shortcuts:inline folders:inline workspaces:inline "
               "repositories:submenu quickAccess:inline";
        QTest::newRow("duplicate keeps the first")
            << json("[{'id':'folders','mode':'hidden'},{'id':'folders','mode':'inline'}]")
            << "folders:hidden favorites:inline recent:inline shortcuts:inline workspaces:inline "
               "repositories:submenu quickAccess:inline";
        QTest::newRow("unreadable list is ignored")
            << json("[{'id':'folders','mode':'sideways'}]")
            << "favorites:inline recent:inline shortcuts:inline folders:inline workspaces:inline "
               "repositories:submenu quickAccess:inline";
    }

    void effectiveSections() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, expected);
        if (!stored.isEmpty()) storeData(Keys::sections, stored);
        QStringList shown;
        for (const SectionConfig& c : store.sections()) shown << rawValue(c.id) + ':' + rawValue(c.mode);
        QCOMPARE(shown.join(' '), expected);
    }

    void typedReads_data() {
        QTest::addColumn<DefaultsValue>("stored");
        QTest::addColumn<bool>("showGitStatus");
        QTest::addColumn<bool>("stringPresent");
        QTest::newRow("boolean false") << DefaultsValue(false) << false << false;
        QTest::newRow("a string under a boolean key") << DefaultsValue(QString("no")) << true << true;
        QTest::newRow("data under a boolean key") << DefaultsValue(QByteArray("x")) << true << false;
    }

    void typedReads() {
        QFETCH(DefaultsValue, stored);
        QFETCH(bool, showGitStatus);
        QFETCH(bool, stringPresent);
        platform->memoryDefaults.set(Keys::showGitStatus, stored);
        QCOMPARE(store.boolean(Keys::showGitStatus, true), showGitStatus);
        QCOMPARE(store.defaults().string(Keys::showGitStatus).has_value(), stringPresent);
    }
};

TARN_TEST(StoreRecordsTest)
#include "StoreRecordsTest.moc"
