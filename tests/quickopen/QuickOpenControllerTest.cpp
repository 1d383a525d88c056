#include "Sandbox.h"
#include "TestMain.h"
#include "discovery/Terminals.h"
#include "menu/ActionItem.h"
#include "quickopen/QuickOpenController.h"
#include "quickopen/QuickOpenView.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QTest>
#include <QTimer>

using namespace tarn;
using ScreenArea = QuickOpenController::ScreenArea;

Q_DECLARE_METATYPE(QList<ScreenArea>)
Q_DECLARE_METATYPE(std::optional<ScreenArea>)

class QuickOpenControllerTest : public QObject, test::Sandbox {
    Q_OBJECT
    QuickOpenController& controller = QuickOpenController::shared();

    QOEntry entry(EntryKind kind, const QString& title) {
        if (kind == EntryKind::link)
            return {{kind, QUrl("https://example.com/" + title), title, std::nullopt, std::nullopt}, "Link"};
        if (kind == EntryKind::shortcut)
            return {{kind, QUrl(), title, QString("id-" + title), std::nullopt}, "Shortcut"};
        const QString path = kind == EntryKind::file ? home->writeFile(title + ".txt", "text")
                                                     : home->makeFolder(title);
        return {{kind, QUrl::fromLocalFile(path), title, std::nullopt, std::nullopt}, "Item"};
    }
    // Shows the panel over `entries` (the library has nothing in a test home).
    void showWith(const QList<QOEntry>& entries) {
        controller.show();
        controller.model().setAll(entries);
        controller.model().recompute();
    }
    QuickOpenView* view() { return controller.panelWidget()->findChild<QuickOpenView*>(); }
    QLineEdit* field() { return view()->searchField(); }

private Q_SLOTS:
    void init() { enter(); }
    void cleanup() {
        controller.close();
        leave();
    }

    void keys_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("outcome");
        const int file = int(EntryKind::file), folder = int(EntryKind::folder), link = int(EntryKind::link),
                  shortcut = int(EntryKind::shortcut);
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier,
                  shift = Qt::ShiftModifier;
        QTest::newRow("Return opens") << file << int(Qt::Key_Return) << none << "opened";
        QTest::newRow("keypad Enter opens") << file << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "opened";
        QTest::newRow("Shift+Return opens behind") << file << int(Qt::Key_Return) << shift << "opened behind";
        QTest::newRow("Ctrl+Return reveals") << file << int(Qt::Key_Return) << ctrl << "revealed";
        QTest::newRow("Ctrl+Alt+Return reveals") << folder << int(Qt::Key_Return) << (ctrl | alt) << "revealed";
        QTest::newRow("Alt+Return opens a terminal") << folder << int(Qt::Key_Return) << alt << "terminal";
        QTest::newRow("Alt+Return on a link opens it") << link << int(Qt::Key_Return) << alt << "opened";
        QTest::newRow("Ctrl+Return on a link opens it") << link << int(Qt::Key_Return) << ctrl << "opened";
        QTest::newRow("Ctrl+Return on a shortcut reveals nothing") << shortcut << int(Qt::Key_Return) << ctrl
                                                                   << "closed";
        QTest::newRow("Escape closes") << file << int(Qt::Key_Escape) << none << "closed";
        QTest::newRow("Ctrl+Shift+K is typed") << file << int(Qt::Key_K) << (ctrl | shift) << "open";
    }

    void keys() {
        QFETCH(int, kind);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, outcome);
        platform->fakeApplications.installs.insert(Terminals::current().id, {"/opt/terminal", std::nullopt, {}});
        const QOEntry item = entry(EntryKind(kind), "item");
        showWith({item});
        QTest::keyClick(field(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        const test::FakeDesktop& desktop = platform->fakeDesktop;
        QCOMPARE(controller.isShown(), outcome == "open");
        QCOMPARE(desktop.opened, outcome.startsWith("opened") ? QList<QUrl>{item.entry.url} : QList<QUrl>{});
        if (outcome.startsWith("opened")) QCOMPARE(desktop.openedInBackground.first(), outcome == "opened behind");
        QCOMPARE(desktop.revealed, outcome == "revealed" ? QList<QUrl>{item.entry.url} : QList<QUrl>{});
        QCOMPARE(desktop.terminals.size(), outcome == "terminal" ? 1 : 0);
        if (outcome == "terminal") QCOMPARE(desktop.terminals.first().first, item.entry.url.toLocalFile());
        QVERIFY(platform->testDialogs.warnings.isEmpty());
    }

    void movingAndTyping() {
        showWith({entry(EntryKind::file, "alpha"), entry(EntryKind::file, "beta"), entry(EntryKind::file, "gamma")});
        QuickOpenModel& model = controller.model();
        QTest::keyClick(field(), Qt::Key_Up);
        QCOMPARE(model.selection(), 0);
        QTest::keyClick(field(), Qt::Key_Down);
        QTest::keyClick(field(), Qt::Key_Down);
        QTest::keyClick(field(), Qt::Key_Down);
        QCOMPARE(model.selection(), 2);
        // Screen readers hear a named field and which row is chosen, with what it shows.
        QCOMPARE(field()->accessibleName(), QString("Search"));
        const QModelIndexList chosen = view()->list()->selectionModel()->selectedIndexes();
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.first().row(), 2);
        QCOMPARE(chosen.first().data(Qt::AccessibleTextRole).toString(), QString("gamma"));
        QCOMPARE(chosen.first().data(Qt::AccessibleDescriptionRole).toString(), model.subtitle(model.results()[2]));
        // Letters go to the field; every change re-ranks and selects the first row again.
        QTest::keyClicks(field(), "ta");
        QCOMPARE(field()->text(), QString("ta"));
        QCOMPARE(model.query(), QString("ta"));
        QCOMPARE(model.results().size(), 1);
        QCOMPARE(model.selection(), 0);
        QCOMPARE(model.results().first().entry.title, QString("beta"));
        QTest::keyClicks(field(), "zz");
        QCOMPARE(view()->emptyText(), QuickOpenView::noMatchText());
        // Return with nothing to open keeps the panel.
        QTest::keyClick(field(), Qt::Key_Return);
        QVERIFY(controller.isShown());
        QVERIFY(platform->fakeDesktop.opened.isEmpty());
        // A fixed size, which Wayland compositors float instead of tiling.
        QCOMPARE(controller.panelWidget()->minimumSize(), QSize(640, 440));
        QCOMPARE(controller.panelWidget()->maximumSize(), QSize(640, 440));
    }

    void emptyCatalogue() {
        showWith({});
        QCOMPARE(view()->emptyText(), QuickOpenView::emptyCatalogueText());
        QCOMPARE(field()->placeholderText(), QuickOpenView::placeholder());
    }

    // Showing again starts from an empty query.
    void showResetsTheQuery() {
        showWith({entry(EntryKind::file, "alpha")});
        QTest::keyClicks(field(), "zz");
        controller.close();
        controller.show();
        QCOMPARE(field()->text(), QString());
        QCOMPARE(controller.model().query(), QString());
    }

    void clickOpensTheRow() {
        const QOEntry second = entry(EntryKind::file, "beta");
        showWith({entry(EntryKind::file, "alpha"), second});
        QListView* list = view()->list();
        const QModelIndex index = list->model()->index(1, 0);
        QTRY_VERIFY(list->visualRect(index).isValid()); // laid out
        const QRect row = list->visualRect(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QVERIFY(!controller.isShown());
        QCOMPARE(platform->fakeDesktop.opened, QList<QUrl>{second.entry.url});
    }

    // Ctrl+K shows the actions of the selection: leaving the menu keeps the panel, choosing closes it.
    void actionsMenu_data() {
        QTest::addColumn<bool>("choose");
        QTest::newRow("dismissed") << false;
        QTest::newRow("action chosen") << true;
    }
    void actionsMenu() {
        QFETCH(bool, choose);
        const QOEntry item = entry(EntryKind::file, "alpha");
        showWith({item});
        QStringList titles;
        QTimer::singleShot(100, this, [&] {
            QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions()) titles << action->text();
            QAction* reveal = nullptr;
            for (QAction* action : menu->actions())
                if (action->text() == "Show in Files") reveal = action;
            if (choose && reveal) reveal->trigger();
            menu->close();
        });
        QTest::keyClick(field(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(titles.contains("Show in Files"));
        QCOMPARE(controller.isShown(), !choose);
        QCOMPARE(platform->fakeDesktop.revealed, choose ? QList<QUrl>{item.entry.url} : QList<QUrl>{});
    }

    void placement_data() {
        QTest::addColumn<QList<ScreenArea>>("screens");
        QTest::addColumn<std::optional<ScreenArea>>("main");
        QTest::addColumn<QPoint>("mouse");
        QTest::addColumn<std::optional<QPoint>>("expected");
        const ScreenArea left{QRect(0, 0, 1920, 1080), QRect(0, 32, 1920, 1048)};
        const ScreenArea right{QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 984)};
        QTest::newRow("pointer on the first screen")
            << QList{left, right} << std::optional(left) << QPoint(100, 100) << std::optional(QPoint(640, 32 + 157));
        QTest::newRow("pointer on the second screen")
            << QList{left, right} << std::optional(left) << QPoint(2500, 900) << std::optional(QPoint(2240, 148));
        QTest::newRow("pointer off every screen: the main one")
            << QList{left, right} << std::optional(right) << QPoint(-50, -50) << std::optional(QPoint(2240, 148));
        QTest::newRow("no screen") << QList<ScreenArea>{} << std::optional<ScreenArea>{} << QPoint(0, 0)
                                   << std::optional<QPoint>{};
    }
    void placement() {
        QFETCH(QList<ScreenArea>, screens);
        QFETCH(std::optional<ScreenArea>, main);
        QFETCH(QPoint, mouse);
        QFETCH(std::optional<QPoint>, expected);
        QCOMPARE(QuickOpenController::origin(screens, main, mouse, QSize(640, 440)), expected);
    }
};

TARN_TEST(QuickOpenControllerTest)
#include "QuickOpenControllerTest.moc"
