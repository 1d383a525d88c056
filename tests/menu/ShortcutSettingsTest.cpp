#include "MenuOutline.h"
#include "Sandbox.h"
#include "TestMain.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "menu/MenuController.h"
#include "model/Store.h"

#include <QFileInfo>
#include <QTest>

using namespace tarn;
using test::outline;
using test::findRow;

class ShortcutSettingsTest : public QObject, test::Sandbox {
    Q_OBJECT
    std::unique_ptr<MenuController> controller;
    Store& store = Store::shared();
    Library& library = Library::shared();

private Q_SLOTS:
    void init() {
        enter();
        library.setSources({[](const QList<QUrl>&) { return ScanResult{}; },
                            [](const QString&, int) { return RecentsResult{}; }, [] { return ShortcutsSnapshot{}; }});
        library.shortcutsLoadedAt = Library::Clock::now();
        library.shortcuts.folders = {"Ops"};
        library.shortcuts.items = {{"Deploy", "d1", QString("Ops")}, {"Build", "b1", QString("Ops")},
                                   {"Lights", "l1", std::nullopt}};
        controller = std::make_unique<MenuController>();
    }
    void cleanup() {
        controller.reset();
        leave();
    }

    void startFromTheAppsFolders() {
        QCOMPARE(outline(controller->shortcutSettings()),
                 QStringList({"Use My Folders", "[x] Mirror Script Folders", "-", "# My Folders",
                              "No folders yet (off)", "-", "New Folder\u2026", "Start from Script Folders", "-",
                              "Script Folders >", "Reload Shortcuts", "Open Shortcuts Folder"}));
        // The user's scripts folder, made when asked for and shown in the file manager.
        findRow(controller->shortcutSettings(), "Open Shortcuts Folder")->trigger();
        QVERIFY(QFileInfo(home->path() + "/.local/share/tarn/shortcuts").isDir());
        QCOMPARE(platform->fakeDesktop.opened.last(), QUrl::fromLocalFile(home->path() + "/.local/share/tarn/shortcuts"));
        controller->copyShortcutsAppFolders();
        const QList<ShortcutFolder> folders = store.shortcutFolders();
        QCOMPARE(folders.size(), 2);
        QCOMPARE(folders[0].name, QString("Ops"));
        QCOMPARE(folders[0].shortcutIDs, QStringList({"d1", "b1"}));
        QCOMPARE(folders[1].name, QString("Unfiled"));
        QCOMPARE(folders[1].style, ShortcutFolder::Style::plain);
        QVERIFY(store.boolean(Keys::useCustomShortcuts, false));
        QCOMPARE(outline(controller->shortcutSettings()).mid(4, 2),
                 QStringList({"Ops [2] >", "Unfiled [no header \u00B7 1] >"}));

        // Again: asks before replacing; Cancel keeps them.
        controller->copyShortcutsAppFolders();
        QCOMPARE(platform->testDialogs.questions.last().message, QString("Replace your folders?"));
        QCOMPARE(store.shortcutFolders(), folders);
    }

    void newFolderOpensThePicker() {
        platform->testDialogs.formAnswers.enqueue(FormAnswer{{"Mine"}, 1});
        platform->testDialogs.pickAnswers.enqueue(QStringList{"l1", "d1"});
        controller->newShortcutFolder();
        QCOMPARE(platform->testDialogs.picks.size(), 1);
        QCOMPARE(platform->testDialogs.picks[0].title, QString("Shortcuts in \u201CMine\u201D"));
        QCOMPARE(platform->testDialogs.picks[0].groups.size(), 2);
        QCOMPARE(platform->testDialogs.picks[0].groups[1].header, QString("No Folder"));
        const ShortcutFolder folder = store.shortcutFolders().first();
        QCOMPARE(folder.style, ShortcutFolder::Style::section);
        QCOMPARE(folder.shortcutIDs, QStringList({"l1", "d1"}));
    }

    // With nothing to pick from, the picker says where scripts go.
    void emptyPickerSaysWhereScriptsGo() {
        library.shortcuts = {};
        platform->testDialogs.formAnswers.enqueue(FormAnswer{{"Mine"}, 1});
        controller->newShortcutFolder();
        QVERIFY(platform->testDialogs.picks.isEmpty());
        QCOMPARE(platform->testDialogs.warnings.last().message, QString("No shortcuts yet"));
        QVERIFY(platform->testDialogs.warnings.last().informative.contains("~/.local/share/tarn/shortcuts"));
    }

    // Re-picking keeps the user's order for what stays ticked; new ones go to the end.
    void pickedOrder() {
        QCOMPARE(MenuController::pickedOrder({"c", "a", "gone"}, {"a", "b", "c"}), QStringList({"c", "a", "b"}));
        QCOMPARE(MenuController::pickedOrder({}, {"x"}), QStringList{"x"});
    }

    void arrangeAndDelete() {
        const QUuid id = QUuid::createUuid();
        store.setShortcutFolders({{id, "Mine", ShortcutFolder::Style::submenu, {"d1", "zz", "l1"}}});
        const QList<QAction*> rows = controller->arrangeItems(id);
        QCOMPARE(outline(rows), QStringList({"Deploy >", "Missing shortcut >", "Lights >"}));
        const QList<QAction*> first = test::openSubmenu(rows[0]);
        QCOMPARE(outline(first), QStringList({"Move Up (off)", "Move Down", "-", "Remove from Folder"}));
        first[1]->trigger();
        QCOMPARE(store.shortcutFolders().first().shortcutIDs, QStringList({"zz", "d1", "l1"}));
        test::openSubmenu(rows[1])[3]->trigger(); // remove the missing one from the folder
        QCOMPARE(store.shortcutFolders().first().shortcutIDs, QStringList({"d1", "l1"}));

        platform->testDialogs.answers.enqueue(0);
        test::findRow(controller->shortcutFolderItems(id), "Delete Folder\u2026")->trigger();
        QCOMPARE(platform->testDialogs.questions.last().message, QString("Delete the folder \u201CMine\u201D?"));
        QVERIFY(store.shortcutFolders().isEmpty());
        QVERIFY(controller->shortcutFolderItems(id).isEmpty());
    }

    void mirroredModes() {
        const QList<QAction*> rows = controller->mirrorFolderSettings();
        QCOMPARE(outline(rows), QStringList({"Ops [submenu] >"}));
        test::findRow(test::openSubmenu(rows[0]), "Hide")->trigger();
        QCOMPARE(store.shortcutFolderModes().value("Ops"), SectionMode::hidden);
        library.shortcuts.folders.clear();
        QCOMPARE(outline(controller->mirrorFolderSettings()), QStringList({"No script folders found (off)"}));
    }
};

TARN_TEST(ShortcutSettingsTest)
#include "ShortcutSettingsTest.moc"
