#include "TestMain.h"
#include "menu/ActionItem.h"
#include "menu/LazyMenu.h"
#include "menu/MenuStyle.h"

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>

#include <QPointer>
#include <QTest>

using namespace tarn;

class LazyMenuTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buildsAtEveryOpening() {
        int builds = 0;
        QList<QPointer<QAction>> made;
        LazyMenu menu("m", [&] {
            ++builds;
            auto* item = new ActionItem(QString("item %1").arg(builds), QString(), [] {});
            made << item;
            return QList<QAction*>{item};
        });
        QCOMPARE(menu.actions().size(), 1);
        QCOMPARE(menu.actions().first()->text(), QString("Loading\u2026"));
        QVERIFY(!menu.actions().first()->isEnabled());
        Q_EMIT menu.aboutToShow();
        QCOMPARE(menu.actions().first()->text(), QString("item 1"));
        Q_EMIT menu.aboutToShow();
        QCOMPARE(builds, 2);
        QCOMPARE(menu.actions().first()->text(), QString("item 2"));
        QTRY_VERIFY(made.first().isNull()); // the old items went with the rebuild
    }

    // A row's tooltip shows a path as written, markup and lines included.
    void toolTipsShowTheirText() {
        const QString path = "/tmp/<b>x</b>\n<img src=\"y.png\">";
        LazyMenu menu("m", [&] {
            auto* item = new ActionItem("x", QString(), [] {});
            item->setToolTip(path);
            return QList<QAction*>{item};
        });
        menu.popup(QPoint(100, 100));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        const QRect row = menu.actionGeometry(menu.actions().first());
        QHelpEvent help(QEvent::ToolTip, row.center(), menu.mapToGlobal(row.center()));
        QApplication::sendEvent(&menu, &help);
        QTextDocument shown;
        shown.setHtml(QToolTip::text());
        QCOMPARE(shown.toPlainText().replace(QChar::LineSeparator, '\n'), path);
        menu.close();
    }

    void emptyBuildShowsEmpty() {
        LazyMenu menu("m", [] { return QList<QAction*>{}; });
        menu.rebuild();
        QCOMPARE(menu.actions().size(), 1);
        QCOMPARE(menu.actions().first()->text(), QString("Empty"));
        QVERIFY(!menu.actions().first()->isEnabled());
    }

    void fireCountsBeforeTheHandler() {
        const qint64 before = ActionItem::fireCount;
        qint64 seen = -1;
        ActionItem item("x", QString(), [&] { seen = ActionItem::fireCount; });
        item.trigger();
        QCOMPARE(seen, before + 1);
        QCOMPARE(ActionItem::fireCount, before + 1);
    }

    // A key shown on a row fires that row while the menu is open, also from a submenu made
    // before; a disabled row or a key without Ctrl, Alt or Super does nothing.
    void keysShownOnRowsWork_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("fired");
        QTest::newRow("row of the open menu") << int(Qt::Key_Q) << int(Qt::ControlModifier) << "quit";
        QTest::newRow("row of a submenu") << int(Qt::Key_N) << int(Qt::ControlModifier) << "add";
        QTest::newRow("disabled row") << int(Qt::Key_D) << int(Qt::ControlModifier) << "";
        QTest::newRow("no modifier") << int(Qt::Key_Q) << int(Qt::NoModifier) << "";
    }

    void keysShownOnRowsWork() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, fired);
        QString got;
        auto* add = new LazyMenu("Add", [&] { return QList<QAction*>{new ActionItem("Folder", "Ctrl+N", [&] { got = "add"; })}; });
        add->rebuild();
        LazyMenu menu("m", [&] {
            auto* addItem = new QAction("Add");
            LazyMenu::attach(addItem, add);
            auto* disabled = new ActionItem("Off", "Ctrl+D", [&] { got = "disabled"; });
            disabled->setEnabled(false);
            return QList<QAction*>{addItem, disabled, new ActionItem("Quit", "Ctrl+Q", [&] { got = "quit"; })};
        });
        menu.popup(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QTest::keyClick(&menu, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(got, fired);
        QCOMPARE(menu.isVisible(), fired.isEmpty());
    }

    // What a screen reader hears of each row: headers as headings, not as items that are off;
    // a row's name, and as its description what is written beside it.
    void rowsAsScreenReadersHearThem() {
        LazyMenu menu("m", [] {
            auto* header = new QAction("Repositories");
            header->setEnabled(false);
            header->setProperty("isSectionHeader", true);
            auto* repo = new ActionItem("tarn", QString(), [] {});
            MenuStyle::setTitle(repo, MenuStyle::title("tarn", MenuStyle::info("main \u00B13"), false, true));
            auto* off = new ActionItem("Nothing here", QString(), [] {});
            off->setEnabled(false);
            return QList<QAction*>{header, repo, off, new ActionItem("Quit Tarn", "Ctrl+Q", [] {})};
        });
        menu.rebuild();
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&menu);
        QVERIFY(list);
        QCOMPARE(list->childCount(), 4);
        QAccessibleInterface* header = list->child(0);
        QCOMPARE(header->role(), QAccessible::Heading);
        QVERIFY(!header->state().disabled);
        QAccessibleInterface* repo = list->child(1);
        QCOMPARE(repo->role(), QAccessible::MenuItem);
        QCOMPARE(repo->text(QAccessible::Name), QString("tarn"));
        QCOMPARE(repo->text(QAccessible::Description), QString("main \u00B13, open in a window"));
        QVERIFY(list->child(2)->state().disabled);
        QCOMPARE(list->child(3)->text(QAccessible::Accelerator), QKeySequence("Ctrl+Q").toString(QKeySequence::NativeText));
    }

    void submenusGoWithTheirItem() {
        auto* item = new QAction("x");
        QPointer<QMenu> submenu = new LazyMenu("sub", [] { return QList<QAction*>{}; });
        LazyMenu::attach(item, submenu);
        delete item;
        QTRY_VERIFY(submenu.isNull());
    }

    // Without Alt, every alternate is hidden and its primary shown.
    void alternatesStartHidden() {
        LazyMenu menu("m", [] {
            auto* primary = new QAction("open");
            auto* alternate = new QAction("actions");
            LazyMenu::makeAlternate(alternate);
            return QList<QAction*>{primary, alternate};
        });
        menu.rebuild();
        QVERIFY(menu.actions()[0]->isVisible());
        QVERIFY(!menu.actions()[1]->isVisible());
        QVERIFY(!menu.showsAlternates());
    }
};

TARN_TEST(LazyMenuTest)
#include "LazyMenuTest.moc"
