#include "MenuOutline.h"
#include "Sandbox.h"
#include "TestMain.h"
#include "actions/OpenWindows.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "menu/LazyMenu.h"
#include "menu/MenuController.h"
#include "menu/MenuStyle.h"
#include "model/Store.h"

#include <QActionGroup>
#include <QTest>

using namespace tarn;
using test::outline;

namespace {
QList<QAction*> open(QAction* item) { return test::openSubmenu(item); }
QAction* find(const QList<QAction*>& items, const QString& text) { return test::findRow(items, text); }
} // namespace


class SettingsMenuTest : public QObject, test::Sandbox {
    Q_OBJECT
    std::unique_ptr<MenuController> controller;
    Store& store = Store::shared();
    QString code;

private Q_SLOTS:
    void init() {
        enter();
        Library::shared().setSources({[](const QList<QUrl>&) { return ScanResult{}; },
                                      [](const QString&, int) { return RecentsResult{}; },
                                      [] { return ShortcutsSnapshot{}; }});
        code = home->makeFolder("code");
        store.addFolder(QUrl::fromLocalFile(code));
        controller = std::make_unique<MenuController>();
    }
    void cleanup() {
        controller.reset();
        QTRY_VERIFY(!Library::shared().scanning);
        leave();
    }

    void theList() {
        QCOMPARE(outline(controller->settingsItems()),
                 QStringList({"# Folders", "code >", "-", "# Menu", "Sections >", "Shortcuts >", "Quick Access >",
                              "Favorite Groups >", "Tray Icon >", "-", "# Apps", "Default Editor >", "Terminal App >",
                              "Workspaces Folder >", "-", "# Keyboard Shortcuts", "Quick Open >", "Menu at Pointer >", "-",
                              "[x] Show Git Status", "Show Open Windows (green dot)", "Fetch All Repositories",
                              "Clear History", "Launch at Login"}));
        // Titles that cannot be read grey the setting, with the reason, whatever is stored.
        platform->memoryDefaults.setBool(Keys::showOpenWindows, true);
        platform->fakeWindowTitles.trusted = false;
        const QStringList shown = outline(controller->settingsItems());
        const QString reason = OpenWindows::unreadableReason();
        const QString expected = MenuStyle::title("Show Open Windows", MenuStyle::info(reason), false, std::nullopt).title +
                                 " [" + MenuStyle::info(reason).text + "] (off)";
        QVERIFY2(shown.contains(expected), qPrintable(shown.join('|')));
    }

    // A choice of one among several is a group of radio rows (an exclusive group); an on/off
    // setting stays a check box.
    void exclusiveChoicesAreRadios_data() {
        QTest::addColumn<QStringList>("path"); // rows opened from the settings list
        QTest::newRow("tray icon") << QStringList{"Tray Icon"};
        QTest::newRow("hotkey") << QStringList{"Quick Open"};
        QTest::newRow("section look") << QStringList{"Sections", "Favorites"};
        QTest::newRow("sort by") << QStringList{"code", "Sort By"};
        QTest::newRow("item limit") << QStringList{"code", "Item Limit"};
    }
    void exclusiveChoicesAreRadios() {
        QFETCH(QStringList, path);
        QList<QAction*> rows = controller->settingsItems();
        for (const QString& title : path) rows = open(find(rows, title));
        QList<QActionGroup*> groups;
        for (QAction* row : rows) {
            if (!row->isCheckable()) continue;
            QVERIFY2(row->actionGroup() && row->actionGroup()->isExclusive(), qPrintable(row->text()));
            if (!groups.contains(row->actionGroup())) groups << row->actionGroup();
        }
        QCOMPARE(groups.size(), path.last() == "Sort By" ? 2 : 1); // the key, then the order
        QVERIFY(!find(controller->settingsItems(), "Show Git Status")->actionGroup());
    }

    // Each toggle flips the value stored when it is chosen, and only its own field.
    void folderSettings() {
        const QList<QAction*> items = controller->folderSettings(code);
        QCOMPARE(outline(items), QStringList({"Show Contents in Main Menu", "Sort By >", "[x] Folders First",
                                              "Show Hidden Files", "Hide When Empty", "Item Limit >", "Editor >", "-",
                                              "Show in Files", "Remove from Menu"}));
        QCOMPARE(outline(open(items[1])), QStringList({"[x] Name", "Date Modified", "Date Created", "Size", "Kind", "-",
                                                       "[x] Ascending", "Descending"}));
        QCOMPARE(outline(open(items[5])), QStringList({"25", "50", "100", "[x] 300", "1000"}));
        QCOMPARE(outline(open(items[6])), QStringList({"[x] Default (none)", "-"}));
        store.updateFolder(code, [](PinnedFolder& f) { f.options.showHidden = true; }); // changed meanwhile
        items[2]->trigger();                                                           // Folders First
        PinnedFolder stored = store.pinnedFolders().first();
        QVERIFY(!stored.options.foldersFirst);
        QVERIFY(stored.options.showHidden); // untouched
        find(open(items[5]), "25")->trigger();
        QCOMPARE(store.pinnedFolders().first().options.itemLimit, 25);
        QVERIFY(controller->folderSettings(home->path() + "/elsewhere").isEmpty());
        items.last()->trigger();
        QVERIFY(store.pinnedFolders().isEmpty());
        qDeleteAll(items);
    }

    void sections() {
        const QList<QAction*> items = controller->sectionSettings();
        QCOMPARE(outline(items).first(), QString("Favorites [inline] >"));
        QCOMPARE(outline(items)[5], QString("Git Repositories [submenu] >"));
        const QList<QAction*> first = open(items.first());
        QCOMPARE(outline(first), QStringList({"[x] Show Inline", "Show as Submenu", "Hide", "-", "Move Up (off)", "Move Down"}));
        find(first, "Hide")->trigger();
        QCOMPARE(store.sections().first().mode, SectionMode::hidden);
        find(first, "Move Down")->trigger();
        QCOMPARE(store.sections()[1].id, SectionID::favorites);
        qDeleteAll(items);
    }

    void hotkeys() {
        QStringList stored;
        const auto set = [&](const QString& id) { stored << id; };
        QList<QAction*> items = controller->hotkeyChoices("ctrl-opt-m", "tarn --menu", set);
        QCOMPARE(outline(items).mid(0, 3), QStringList({"Off", "-", "Ctrl+Alt+Space"}));
        QVERIFY(outline(items).contains("[x] Ctrl+Alt+M"));
        items[0]->trigger();
        QCOMPARE(stored, QStringList{"off"});
        qDeleteAll(items);
        // A shortcut Tarn does not know binds nothing, and shows as off.
        items = controller->hotkeyChoices("something-else", "tarn --menu", set);
        QCOMPARE(outline(items).join('\n').count("[x]"), 1);
        QCOMPARE(outline(items).first(), QString("[x] Off"));
        qDeleteAll(items);
        // Where keys cannot be bound (Wayland without the portal), the desktop binds the command.
        platform->fakeHotkeys.bindable = false;
        items = controller->hotkeyChoices("ctrl-opt-m", "tarn --menu", set);
        QCOMPARE(outline(items), QStringList({"Your desktop binds the keys: (off)",
                                              "give a shortcut the command \u201Ctarn --menu\u201D (off)"}));
        qDeleteAll(items);
    }

    // A key the other hotkey holds is refused with the other's name, and nothing is stored.
    void hotkeyOfTheOtherIsRefused_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("holder"); // empty: stored
        QTest::newRow("Quick Open on the menu's key") << "Quick Open" << "Ctrl+Alt+M" << "Menu at Pointer";
        QTest::newRow("the menu on Quick Open's key") << "Menu at Pointer" << "Ctrl+Alt+Space" << "Quick Open";
        QTest::newRow("a free key") << "Quick Open" << "Ctrl+Alt+U" << "";
    }

    void hotkeyOfTheOtherIsRefused() {
        QFETCH(QString, list);
        QFETCH(QString, chosen);
        QFETCH(QString, holder);
        const char* key = list == "Quick Open" ? Keys::quickOpenHotkey : Keys::menuHotkey;
        find(open(find(controller->settingsItems(), list)), chosen)->trigger();
        if (holder.isEmpty()) {
            QCOMPARE(store.defaults().string(key), std::optional<QString>("ctrl-opt-u"));
            QVERIFY(platform->testDialogs.warnings.isEmpty());
            return;
        }
        QCOMPARE(store.defaults().string(key), std::nullopt);
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().informative,
                 QString("That shortcut is already used by Tarn\u2019s \u201C%1\u201D. Pick a different one.").arg(holder));
    }

    void addLink_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("stored"); // "title|value|group", "" for nothing, "!" for an alert
        QTest::newRow("scheme added, host as title") << "" << "example.com/docs" << 0 << "example.com|https://example.com/docs|";
        QTest::newRow("named, in a group") << "Docs" << "vscode://file/x" << 1 << "Docs|vscode://file/x|Work";
        QTest::newRow("nothing typed") << "x" << "https://" << 0 << "";
        QTest::newRow("empty") << "x" << "" << 0 << "";
        QTest::newRow("not a URL") << "" << "http://exa mple.com" << 0 << "!";
    }

    void addLink() {
        QFETCH(QString, name);
        QFETCH(QString, url);
        QFETCH(int, group);
        QFETCH(QString, stored);
        store.addGroup("Work");
        platform->testDialogs.formAnswers.enqueue(FormAnswer{{name, url}, group});
        controller->addLink();
        const FormRequest request = platform->testDialogs.forms.last();
        QCOMPARE(request.title, QString("Add Link"));
        QCOMPARE(request.popup->second, QStringList({"None", "Work"}));
        const QList<Favorite> favorites = store.favorites();
        if (stored == "!") {
            QCOMPARE(platform->testDialogs.warnings.last().message, QString("That doesn\u2019t look like a valid URL"));
            QVERIFY(favorites.isEmpty());
        } else if (stored.isEmpty()) {
            QVERIFY(favorites.isEmpty());
        } else {
            QCOMPARE(favorites.size(), 1);
            QCOMPARE(favorites.first().title + '|' + favorites.first().value + '|' + favorites.first().group.value_or(""), stored);
        }
    }

    void groupNames() {
        platform->testDialogs.formAnswers.enqueue(FormAnswer{{"Reading"}, 0});
        QCOMPARE(controller->askGroupName(""), std::optional<QString>("Reading"));
        QCOMPARE(platform->testDialogs.forms.last().title, QString("New Favorite Group"));
        QCOMPARE(platform->testDialogs.forms.last().button, QString("Create"));
        platform->testDialogs.formAnswers.enqueue(FormAnswer{{""}, 0});
        QCOMPARE(controller->askGroupName("Old"), std::nullopt);
        QCOMPARE(platform->testDialogs.forms.last().title, QString("Rename Group"));
        QCOMPARE(platform->testDialogs.forms.last().fields.first().second, QString("Old"));
        QCOMPARE(controller->askGroupName("Old"), std::nullopt); // cancelled
    }

    void launchAtLogin() {
        controller->toggleLaunchAtLogin();
        QVERIFY(platform->fakeDesktop.atLogin);
        QVERIFY(find(controller->settingsItems(), "Launch at Login")->isChecked());
        platform->fakeDesktop.failure = QString("read-only folder");
        controller->toggleLaunchAtLogin();
        QCOMPARE(platform->testDialogs.warnings.last().message, QString("Couldn\u2019t change Launch at Login"));
        QCOMPARE(platform->testDialogs.warnings.last().informative, QString("read-only folder"));
    }
};

TARN_TEST(SettingsMenuTest)
#include "SettingsMenuTest.moc"
