#include "Sandbox.h"
#include "TestMain.h"
#include "app/AppDelegate.h"
#include "menu/MenuController.h"
#include "menu/MenuStyle.h"
#include "model/Store.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

using namespace tarn;

class AppDelegateTest : public QObject, test::Sandbox {
    Q_OBJECT

private Q_SLOTS:
    void init() { enter(); }
    void cleanup() { leave(); }

    void firstLaunchSetsUpTheStatusItemAndAsksForAFolder() {
        const QString chosen = home->makeFolder("code");
        platform->testDialogs.openPanelAnswers.enqueue(QList<QUrl>{QUrl::fromLocalFile(chosen)});
        AppDelegate delegate;
        QVERIFY(!delegate.statusItem() && !delegate.controller());
        delegate.applicationDidFinishLaunching();
        QVERIFY(delegate.statusItem());
        QCOMPARE(delegate.statusItem()->toolTip(), QString("Tarn"));
        QVERIFY(!platform->fakeStatusItem.drawn.isNull());
        QVERIFY(delegate.controller());

        QVERIFY(platform->testDialogs.openPanelRequests.isEmpty()); // not before the delay
        QTRY_COMPARE(platform->testDialogs.openPanelRequests.size(), 1);
        const OpenPanelRequest request = platform->testDialogs.openPanelRequests.first();
        QCOMPARE(request.title, QString("Add Folders to Tarn"));
        QCOMPARE(request.message, QString("Choose folders you want quick access to from the tray menu."));
        QCOMPARE(request.prompt, QString("Choose"));
        QVERIFY(request.directoriesOnly && request.multipleSelection);
        QCOMPARE(Store::shared().pinnedFolders().size(), 1);
        QCOMPARE(Store::shared().pinnedFolders().first().path, chosen);
    }

    // Choosing folders while the panel is up brings it forward; it never opens twice.
    void addFolderPanelOpensOnce() {
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        platform->testDialogs.duringOpenPanel = [&] { delegate.controller()->addFolder(); };
        delegate.controller()->addFolder();
        QCOMPARE(platform->testDialogs.openPanelRequests.size(), 1);
        platform->testDialogs.duringOpenPanel = nullptr;
        delegate.controller()->addFolder(); // and opens again once closed
        QCOMPARE(platform->testDialogs.openPanelRequests.size(), 2);
    }

    // Settings that cannot be written are not dropped silently: one alert says why.
    void failedSaveShowsOneAlert() {
        platform->memoryDefaults.failWrites = QString("defaults.json: Read-only file system");
        platform->testDialogs.openPanelAnswers.enqueue(
            QList<QUrl>{QUrl::fromLocalFile(home->makeFolder("a")), QUrl::fromLocalFile(home->makeFolder("b"))});
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        QTRY_COMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().message, QString("Couldn\u2019t save settings"));
        QCOMPARE(platform->testDialogs.warnings.first().informative,
                 QString("defaults.json: Read-only file system"));
        QTest::qWait(100);
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
    }

    void hotkeysAtLaunchAndAfterAChoice() {
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        auto& grabbed = platform->fakeHotkeys.grabbed;
        QCOMPARE(grabbed.value(1), qMakePair(49, 0x1800)); // Quick Open: ctrl-opt-space
        QCOMPARE(grabbed.value(2), qMakePair(46, 0x1800)); // menu: ctrl-opt-m

        // Taken by another application: silent at launch, one alert when chosen, even if
        // both are taken.
        platform->fakeHotkeys.taken = {{49, 0x1800}, {46, 0x1800}};
        delegate.applyHotkeys(false);
        QVERIFY(platform->testDialogs.warnings.isEmpty());
        delegate.applyHotkeys(true);
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().message, QString("Keyboard shortcut unavailable"));

        platform->memoryDefaults.setString(Keys::menuHotkey, "off");
        platform->memoryDefaults.setString(Keys::quickOpenHotkey, "opt-cmd-o");
        delegate.applyHotkeys(true);
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(grabbed.value(1), qMakePair(31, 0x900));
        QVERIFY(!grabbed.contains(2));

        // The menu on Quick Open's key: refused with one alert, Quick Open keeps it, and
        // setting the menu back leaves Quick Open's key in place.
        platform->fakeHotkeys.taken.clear();
        platform->memoryDefaults.setString(Keys::menuHotkey, "opt-cmd-o");
        delegate.applyHotkeys(true);
        QCOMPARE(platform->testDialogs.warnings.size(), 2);
        QCOMPARE(grabbed.value(1), qMakePair(31, 0x900));
        QVERIFY(!grabbed.contains(2));
        platform->memoryDefaults.setString(Keys::menuHotkey, "ctrl-opt-m");
        delegate.applyHotkeys(true);
        QCOMPARE(platform->testDialogs.warnings.size(), 2);
        QCOMPARE(grabbed.value(1), qMakePair(31, 0x900));
        QCOMPARE(grabbed.value(2), qMakePair(46, 0x1800));

        // Changed in the file by hand: bound without a word.
        platform->memoryDefaults.setString(Keys::quickOpenHotkey, "ctrl-opt-u");
        QTRY_COMPARE(grabbed.value(1), qMakePair(32, 0x1800));
        QCOMPARE(grabbed.value(2), qMakePair(46, 0x1800));
        QCOMPARE(platform->testDialogs.warnings.size(), 2);

        // A shortcut Tarn does not know (a typo by hand): said once, and no key is held.
        platform->memoryDefaults.setString(Keys::quickOpenHotkey, "ctrl-opt-spcae");
        QTRY_COMPARE(platform->testDialogs.warnings.size(), 3);
        QVERIFY(platform->testDialogs.warnings.last().informative.contains("ctrl-opt-spcae"));
        QVERIFY(!grabbed.contains(1));
        delegate.applyHotkeys(false);
        QCOMPARE(platform->testDialogs.warnings.size(), 3);
    }

    void noPromptWhenFoldersArePinned() {
        Store::shared().addFolder(QUrl::fromLocalFile(home->makeFolder("src")));
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        QTest::qWait(AppDelegate::addFolderPromptDelay * 2);
        QVERIFY(platform->testDialogs.openPanelRequests.isEmpty());
    }

    void promptDoesNothingOnceTheDelegateIsGone() {
        {
            AppDelegate delegate;
            delegate.applicationDidFinishLaunching();
        }
        QTest::qWait(AppDelegate::addFolderPromptDelay * 2);
        QVERIFY(platform->testDialogs.openPanelRequests.isEmpty());
    }

    // Linux has no permission to ask for: window titles that cannot be read grey the setting
    // instead of prompting at launch.
    void noAccessQuestionAtLaunch() {
        Store::shared().addFolder(QUrl::fromLocalFile(home->makeFolder("src")));
        platform->memoryDefaults.setBool(Keys::showOpenWindows, true);
        platform->fakeWindowTitles.trusted = false;
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        QTest::qWait(AppDelegate::addFolderPromptDelay * 3);
        QVERIFY(platform->testDialogs.questions.isEmpty());
        QVERIFY(platform->testDialogs.warnings.isEmpty());
    }

    // No tray shows the icon: Tarn says so once per login session, as a notification, or in a
    // window of its own when no notification service answers, with the ways to reach it.
    // The keys are named only where Tarn holds them; else what to bind, first.
    void noTrayNotice_data() {
        QTest::addColumn<bool>("notificationService");
        QTest::addColumn<bool>("keysBound");
        QTest::addColumn<QString>("opening");
        QTest::newRow("notification") << true << true << "Ctrl+Alt+Space opens Quick Open: Tarn is running without a tray icon: ";
        QTest::newRow("no notification service: a window") << false << true << "Ctrl+Alt+Space opens Quick Open";
        QTest::newRow("the desktop binds keys") << true << false << "To open Tarn, bind \u201ctarn --quick-open\u201d to a key: ";
    }

    void noTrayNotice() {
        QFETCH(bool, notificationService);
        QFETCH(bool, keysBound);
        QFETCH(QString, opening);
        platform->fakeDesktop.notificationService = notificationService;
        platform->fakeHotkeys.bindable = keysBound;
        AppDelegate delegate;
        delegate.applyHotkeys(false);
        delegate.tellWhenNoTray();
        QCOMPARE(platform->fakeDesktop.notifications.size(), 1);
        const QString told = platform->fakeDesktop.notifications.first();
        QVERIFY2(told.startsWith(opening) && told.contains("Ctrl+Alt+Space") == keysBound &&
                     told.contains("tarn --quick-open") && told.contains("tarn --menu"),
                 qPrintable(told));
        QMessageBox* window = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) window = box;
        QCOMPARE(window != nullptr, !notificationService);
        delete window;
        delegate.tellWhenNoTray(); // the same session: not again
        QCOMPARE(platform->fakeDesktop.notifications.size(), 1);
    }

    // Panels that draw the menu get Tarn's menu, each row read whole with its info column and
    // dot as text; Tarn's own rows keep the title cut to its column.
    void menuThePanelDraws() {
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        QCOMPARE(platform->fakeStatusItem.exported.menu, delegate.controller()->menu());
        const QString title = "a-repository-with-a-long-name-of-its-own";
        QAction row;
        MenuStyle::setTitle(&row, MenuStyle::title(title, MenuStyle::info("main \u00B13"), false, true));
        QVERIFY(row.text().endsWith("\u2026"));
        QCOMPARE(platform->fakeStatusItem.exported.label(&row), title + "   main \u00B13  \u25CF");
        QAction plain("R&&D");
        QCOMPARE(platform->fakeStatusItem.exported.label(&plain), QString("R&D"));
    }

    void menuEndsWithQuit() {
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        QMenu* menu = delegate.controller()->menu();
        Q_EMIT menu->aboutToShow();
        QVERIFY(!menu->actions().isEmpty());
        QCOMPARE(menu->actions().last()->text(), QString("Quit Tarn"));
    }
};

TARN_TEST(AppDelegateTest)
#include "AppDelegateTest.moc"
