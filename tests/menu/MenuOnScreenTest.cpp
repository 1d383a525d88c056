// Menus on a real X server (the test runs under Xvfb): Alt pressed and released as a keyboard
// does it, and the menus rendered to PNG files for a person to look at.
#include "Sandbox.h"
#include "TestMain.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "menu/LazyMenu.h"
#include "menu/MenuItems.h"
#include "menu/MenuProxyStyle.h"
#include "menu/MenuStyle.h"
#include "model/Store.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

using namespace tarn;

namespace {

void xdotool(const QStringList& arguments) {
    QProcess::execute("xdotool", arguments);
    QTest::qWait(50); // let the server deliver the event
}

QString toString(const QRect& r) { return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

QAction* visibleItem(QMenu* menu, const QString& title) {
    for (QAction* item : menu->actions()) {
        const auto styled = MenuStyle::titleOf(item);
        if (item->isVisible() && styled && styled->title == title) return item;
    }
    return nullptr;
}

} // namespace

class MenuOnScreenTest : public QObject, test::Sandbox {
    Q_OBJECT
    QString output;
    QString code;

    // The menu a person would see: a repository with its branch and counters, a workspace
    // with a hint and the open-window dot, a long title, and a folder to browse.
    std::unique_ptr<LazyMenu> sampleMenu() {
        return std::make_unique<LazyMenu>("Tarn", [this] {
            QList<QAction*> items;
            items << MenuItems::entry({EntryKind::repo, QUrl::fromLocalFile(code + "/tarn"), "tarn", {}, {}});
            items << MenuItems::entry({EntryKind::workspace, QUrl::fromLocalFile(code + "/api.code-workspace"),
                                       "api", {}, QString("work")});
            items << MenuItems::entry({EntryKind::folder, QUrl::fromLocalFile(code + "/notes"),
                                       "a folder with a very long name that cannot fit in the menu", {}, {}});
            items << MenuItems::browsable(QUrl::fromLocalFile(code), {});
            return items;
        });
    }

    void save(QWidget* widget, const QString& name) {
        QTest::qWait(100);
        QVERIFY(widget->grab().save(output + '/' + name));
    }

private Q_SLOTS:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs an X server");
        output = QDir::currentPath() + "/menus";
        QDir().mkpath(output);
    }

    void init() {
        enter();
        code = home->makeFolder("code");
        home->makeFolder("code/tarn/.git");
        home->makeFolder("code/notes");
        home->makeFolder("code/one/two/three");
        home->writeFile("code/one/two/three/deep.txt", "x");
        home->writeFile("code/api.code-workspace", "{\"folders\": [{\"path\": \"tarn\"}]}");
        home->writeFile("code/README.md", "x");
        Library::shared().openParts = {"api (Workspace)"};
        GitStore::shared().setStatusReader([](const QString&) { return GitStatus{"main", 2, 1, 3}; });
    }

    void cleanup() {
        xdotool({"keyup", "alt"});
        leave();
    }

    // Alt shows each entry's alternate in its primary's place, in the open menu and its open
    // submenu, and keeps the menu open and the highlight in place; releasing it restores them.
    void altSwapsAlternatesInPlace() {
        auto menu = sampleMenu();
        menu->popup(QPoint(40, 40));
        QTRY_VERIFY(menu->isVisible());
        QTest::qWait(200);
        xdotool({"key", "Down"});
        QTRY_VERIFY(menu->activeAction());
        QAction* primary = menu->activeAction();
        QVERIFY(!LazyMenu::isAlternate(primary));
        const int row = static_cast<int>(menu->actions().indexOf(primary));

        xdotool({"keydown", "alt"});
        QTRY_VERIFY(menu->showsAlternates());
        QVERIFY(menu->isVisible());
        QVERIFY(!primary->isVisible());
        QAction* alternate = menu->actions().at(row + 1);
        QVERIFY(LazyMenu::isAlternate(alternate) && alternate->isVisible());
        QCOMPARE(menu->activeAction(), alternate);
        QCOMPARE(menu->actionGeometry(alternate).top(), menu->actionGeometry(primary).top());

        xdotool({"keyup", "alt"});
        QTRY_VERIFY(!menu->showsAlternates());
        QVERIFY(menu->isVisible());
        QVERIFY(primary->isVisible());
        QCOMPARE(menu->activeAction(), primary);

        // A letter typed with Alt held is no mnemonic: nothing closes, nothing moves.
        xdotool({"key", "alt+t"});
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->activeAction(), primary);

        // Into the actions with Alt held, then Alt released: the actions stay to be chosen.
        xdotool({"keydown", "alt"});
        QTRY_VERIFY(alternate->menu() && alternate->menu()->isVisible());
        xdotool({"key", "Down"});
        QTRY_VERIFY(alternate->menu()->activeAction());
        xdotool({"keyup", "alt"});
        QTest::qWait(200);
        QVERIFY(alternate->menu()->isVisible());
        QCOMPARE(alternate->menu()->activeAction()->text(), QString("Open in Editor"));
        menu->hide();
    }

    void altReachesSubmenus() {
        auto menu = sampleMenu();
        menu->popup(QPoint(40, 40));
        QTRY_VERIFY(menu->isVisible());
        QTest::qWait(200);
        QAction* folder = visibleItem(menu.get(), "code");
        QVERIFY(folder);
        menu->setActiveAction(folder);
        xdotool({"key", "Right"});
        auto* sub = qobject_cast<LazyMenu*>(folder->menu());
        QTRY_VERIFY(sub->isVisible());

        xdotool({"keydown", "alt"});
        QTRY_VERIFY(sub->showsAlternates());
        QVERIFY(menu->showsAlternates());
        QVERIFY(sub->isVisible());
        xdotool({"keyup", "alt"});
        QTRY_VERIFY(!sub->showsAlternates());
        QVERIFY(!menu->showsAlternates());
        menu->hide();
        // Qt closes every popup when the application loses the focus: let the loss these bring
        // arrive before the next popup opens.
        QTRY_VERIFY(!QGuiApplication::focusWindow());

        // A submenu that opens while Alt is already held starts with its alternates.
        xdotool({"keydown", "alt"});
        auto later = sampleMenu();
        later->popup(QPoint(60, 60));
        QTRY_VERIFY(later->isVisible());
        QVERIFY(later->showsAlternates());
        xdotool({"keyup", "alt"});
        QTRY_VERIFY(!later->showsAlternates());
        later->hide();
    }

    // A submenu opens beside its row where there is room, and where neither side has room it
    // goes below the row, never over it.
    void submenusKeepClearOfTheirRow_data() {
        QTest::addColumn<int>("titleLength");
        QTest::addColumn<bool>("beside");
        QTest::newRow("narrow") << 10 << true;
        QTest::newRow("wider than either side") << 110 << false;
    }
    void submenusKeepClearOfTheirRow() {
        QFETCH(int, titleLength);
        QFETCH(bool, beside);
        auto* inner = new QAction(QString(titleLength, 'w'));
        auto* opener = new QAction("opens");
        LazyMenu::attach(opener, LazyMenu::holding("sub", {inner}));
        std::unique_ptr<LazyMenu> menu(LazyMenu::holding("Tarn", {new QAction("first"), opener, new QAction("last")}));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        menu->popup(screen.center() - QPoint(menu->sizeHint().width() / 2, 0));
        QTRY_VERIFY(menu->isVisible());
        QTest::qWait(200);
        menu->setActiveAction(opener);
        xdotool({"key", "Right"});
        QMenu* sub = opener->menu();
        QTRY_VERIFY(sub->isVisible());
        QTest::qWait(100);
        const QRect local = menu->actionGeometry(opener);
        const QRect row(menu->mapToGlobal(local.topLeft()), local.size());
        QVERIFY2((sub->geometry() & row).width() <= 2, qPrintable(toString(sub->geometry()) + " over " + toString(row)));
        QCOMPARE(sub->geometry().top() == row.top(), beside);
        QVERIFY(screen.contains(sub->geometry()));
        menu->hide();
        QTRY_VERIFY(!QGuiApplication::focusWindow());
    }

    // A menu of 2 000 rows is one column inside the screen, and End scrolls to its last row:
    // whether it had them when it opened or they arrived while it was open.
    void longMenusScrollInOneColumn_data() {
        QTest::addColumn<bool>("grownWhileOpen");
        QTest::newRow("built before opening") << false;
        QTest::newRow("grown while open") << true;
    }

    void longMenusScrollInOneColumn() {
        QFETCH(bool, grownWhileOpen);
        int rows = grownWhileOpen ? 10 : 2000;
        LazyMenu menu("Long", [&rows] {
            QList<QAction*> items;
            for (int i = 0; i < rows; ++i) items << new QAction(QString("file %1").arg(i, 4, 10, QChar('0')));
            return items;
        });
        menu.popup(QPoint(40, 40));
        QTRY_VERIFY(menu.isVisible());
        if (grownWhileOpen) {
            rows = 2000;
            menu.rebuild();
        }
        QCOMPARE(menu.actions().size(), 2000);
        const QRect screen = menu.screen()->geometry();
        QVERIFY(screen.contains(menu.geometry()));
        QVERIFY(menu.width() < screen.width() / 2);
        QTest::keyClick(&menu, Qt::Key_End);
        QTRY_COMPARE(menu.activeAction(), menu.actions().last());
        QVERIFY(menu.rect().contains(menu.actionGeometry(menu.actions().last())));
        save(&menu, grownWhileOpen ? "long-grown-end.png" : "long-end.png");
        menu.hide();
    }

    // Results that arrive while a menu of hundreds of rows is open rebuild it in place: the row
    // the user is on stays highlighted and its open submenu stays open, and Alt still swaps.
    void rebuildKeepsTheRowTheUserIsOn_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("hasSubmenu");
        QTest::newRow("a file") << "entry150.txt" << false;
        QTest::newRow("a folder with its submenu open") << "code" << true;
    }

    void rebuildKeepsTheRowTheUserIsOn() {
        QFETCH(QString, row);
        QFETCH(bool, hasSubmenu);
        int arrivals = 0;
        LazyMenu menu("Tarn", [&] {
            QList<QAction*> items;
            for (int i = 0; i < arrivals; ++i) items << new QAction(QString("new %1").arg(i));
            for (int i = 0; i < 300; ++i) {
                items << MenuItems::entry({EntryKind::file, QUrl::fromLocalFile(QString("%1/entry%2.txt").arg(code).arg(i)),
                                           QString("entry%1.txt").arg(i), {}, {}});
                if (i == 150) items << MenuItems::browsable(QUrl::fromLocalFile(code), {});
            }
            return items;
        });
        menu.popup(QPoint(40, 40));
        QTRY_VERIFY(menu.isVisible());
        QAction* item = visibleItem(&menu, row);
        QVERIFY(item);
        menu.setActiveAction(item);
        if (hasSubmenu) QTRY_VERIFY(item->menu()->isVisible());

        arrivals = 40;
        menu.rebuild();
        QCOMPARE(menu.actions().size(), 40 + 2 * 301);
        QVERIFY(menu.activeAction());
        QCOMPARE(MenuStyle::titleOf(menu.activeAction())->title, row);
        QVERIFY(menu.screen()->geometry().contains(menu.geometry()));
        if (hasSubmenu) {
            QCOMPARE(menu.activeAction(), item);
            QVERIFY(item->menu()->isVisible());
        }

        xdotool({"keydown", "alt"});
        QTRY_VERIFY(menu.showsAlternates());
        QVERIFY(menu.activeAction());
        QCOMPARE(MenuStyle::titleOf(menu.activeAction())->title, row);
        if (hasSubmenu) QVERIFY(item->menu()->isVisible());
        xdotool({"keyup", "alt"});
        QTRY_VERIFY(!menu.showsAlternates());
        QCOMPARE(MenuStyle::titleOf(menu.activeAction())->title, row);
        menu.hide();
    }

    // Headers and the info column read at 4.5:1 at least on the menu, as rendered, in a light
    // and a dark palette; a repository's uncommitted changes are drawn in the accent colour.
    void secondaryTextReads_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void secondaryTextReads() {
        QFETCH(bool, dark);
        const QPalette before = QApplication::palette();
        QPalette palette = before;
        if (dark) {
            palette.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
            palette.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
            palette.setColor(QPalette::Text, Qt::white);
            palette.setColor(QPalette::WindowText, Qt::white);
            palette.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 128));
            palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x4a, 0x4a, 0x4a));
            palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x4a, 0x4a, 0x4a));
            palette.setColor(QPalette::Link, QColor(0x1a, 0x3a, 0x7a));
        }
        QApplication::setPalette(palette);
        auto menu = std::make_unique<LazyMenu>("Tarn", [this] {
            return QList<QAction*>{MenuItems::header("Folders")} +
                   MenuItems::entry({EntryKind::repo, QUrl::fromLocalFile(code + "/tarn"), "tarn", {}, {}});
        });
        GitStore::shared().refresh({code + "/tarn"}, true);
        QTRY_VERIFY(GitStore::shared().status(code + "/tarn"));
        menu->popup(QPoint(20, 20));
        QTRY_VERIFY(menu->isVisible());
        QTest::qWait(100);
        const QImage image = menu->grab().toImage();
        const QList<QAction*> rows = menu->actions();
        const QColor background = image.pixelColor(menu->actionGeometry(rows[0]).topLeft() + QPoint(2, 2));
        // The colour in `area` that stands out most from the background: the core of its letters.
        const auto ink = [&](const QRect& area) {
            QColor most = background;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    if (MenuStyle::contrast(image.pixelColor(x, y), background) > MenuStyle::contrast(most, background))
                        most = image.pixelColor(x, y);
            return most;
        };
        const QRect header = menu->actionGeometry(rows[0]);
        QVERIFY2(MenuStyle::contrast(ink(header), background) >= 4.5, qPrintable(ink(header).name()));
        const QRect repo = menu->actionGeometry(rows[1]);
        const QFontMetrics metrics(MenuStyle::infoFont());
        const int infoRight = repo.left() + MenuProxyStyle::textOffset(repo.height(), 16) + int(MenuStyle::infoTab());
        const QString info = MenuStyle::gitInfo(GitStatus{"main", 2, 1, 3}).text; // "main ±3 ↑2 ↓1"
        const QRect branch(infoRight - metrics.horizontalAdvance(info), repo.top(), metrics.horizontalAdvance("main"), repo.height());
        const QRect changes(branch.right() + metrics.horizontalAdvance(" "), repo.top(), metrics.horizontalAdvance("\u00B13"), repo.height());
        QVERIFY2(MenuStyle::contrast(ink(branch), background) >= 4.5, qPrintable(ink(branch).name()));
        const QColor mark = ink(changes);
        QVERIFY2(MenuStyle::contrast(mark, background) >= 4.5, qPrintable(mark.name()));
        QVERIFY2(mark.blue() > mark.red() + 40, qPrintable(mark.name())); // the link colour, not grey
        menu->hide();
        QApplication::setPalette(before);
    }

    // For a person to look at: build/tests/menus/*.png.
    void renderMenus() {
        auto menu = sampleMenu();
        GitStore::shared().refresh({code + "/tarn"}, true);
        menu->popup(QPoint(20, 20));
        QTRY_VERIFY(menu->isVisible());
        QTRY_VERIFY(GitStore::shared().status(code + "/tarn"));
        save(menu.get(), "top.png");
        const auto title = MenuStyle::titleOf(visibleItem(menu.get(), "tarn"));
        QCOMPARE(title->info->text, MenuStyle::gitInfo(GitStatus{"main", 2, 1, 3}).text);

        // The folder three levels deep.
        QMenu* level = menu.get();
        QPoint where(260, 20);
        for (const char* name : {"code", "one", "two", "three"}) {
            QAction* item = visibleItem(level, name);
            QVERIFY2(item, qPrintable(name));
            auto* sub = qobject_cast<LazyMenu*>(item->menu());
            sub->popup(where);
            QTRY_VERIFY(sub->isVisible());
            save(sub, QString("folder-%1.png").arg(name));
            level = sub;
            where += QPoint(40, 30);
        }
        QCOMPARE(visibleItem(level, "deep.txt") != nullptr, true);
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<QMenu*>(widget) && widget != menu.get()) widget->hide();

        xdotool({"keydown", "alt"});
        QTRY_VERIFY(menu->showsAlternates());
        save(menu.get(), "top-alt.png");
        xdotool({"keyup", "alt"});
        menu->hide();
    }
};

TARN_TEST(MenuOnScreenTest)
#include "MenuOnScreenTest.moc"
