// Building the items of a big menu: 1 000 repository entries and 200 favorites, with their
// titles, tool tips and git columns, against the one-frame budget of 16 ms.
//
//   QT_QPA_PLATFORM=offscreen bench_menu
#include "Interleaved.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "menu/LazyMenu.h"
#include "menu/MenuController.h"
#include "menu/MenuItems.h"
#include "model/Store.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QMenu>
#include <QTest>

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    QApplication app(argc, argv);

    QList<tarn::Entry> entries;
    QStringList repos;
    for (int i = 0; i < 1000; ++i) {
        const QString path = QString("%1/code/project-%2").arg(home.path()).arg(i);
        QDir().mkpath(path + "/.git");
        repos << path;
        entries << tarn::Entry{tarn::EntryKind::repo, QUrl::fromLocalFile(path), QString("project-%1").arg(i), {}, {}};
    }
    for (int i = 0; i < 200; ++i) {
        const QString path = QString("%1/docs/note-%2.md").arg(home.path()).arg(i);
        entries << tarn::Entry{i % 4 ? tarn::EntryKind::file : tarn::EntryKind::link,
                               i % 4 ? QUrl::fromLocalFile(path) : QUrl(QString("https://example.com/%1").arg(i)),
                               QString("favorite %1").arg(i), {}, {}};
    }
    // Every repository shows a branch and counters.
    tarn::GitStore& store = tarn::GitStore::shared();
    store.setStatusReader([](const QString&) { return tarn::GitStatus{"feature/menu", 2, 1, 14}; });
    store.refresh(repos, true);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { if (store.inFlight().isEmpty()) loop.quit(); });
    poll.start(10);
    loop.exec();

    auto build = [&] {
        QList<QAction*> items;
        for (const tarn::Entry& entry : entries) items << tarn::MenuItems::entry(entry);
        qDeleteAll(items);
        store.compact();
    };
    QElapsedTimer first;
    first.start();
    build();
    std::printf("first build (icons not cached yet): %.2f ms\n", first.nsecsElapsed() / 1e6);
    const int rounds = 21;
    const QList<bench::Contender> contenders{{"1000 repositories + 200 favorites", build}};
    const QList<double> medians = bench::interleaved(rounds, contenders);
    std::printf("%-34s %8.2f ms median of %d (goal: 16 ms)\n", contenders[0].name, medians[0], rounds);

    // The whole tray menu: those repositories, 200 favorites in 5 groups, 8 recents and three
    // inline folders of 300 files each.
    tarn::Store& settings = tarn::Store::shared();
    tarn::Library& library = tarn::Library::shared();
    library.scan.repos = entries.mid(0, 1000);
    for (int i = 0; i < 8; ++i) library.recents << entries[i];
    QList<tarn::Favorite> favorites;
    for (int i = 0; i < 200; ++i)
        favorites << tarn::Favorite{tarn::Favorite::Kind::path, entries[1000 + i].url.toLocalFile(),
                                    QString("favorite %1").arg(i), i % 2 ? std::optional(QString("group %1").arg(i % 5)) : std::nullopt};
    settings.setFavorites(favorites);
    for (int g = 0; g < 5; ++g) settings.addGroup(QString("group %1").arg(g));
    for (int f = 0; f < 3; ++f) {
        const QString folder = QString("%1/inline%2").arg(home.path()).arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < 300; ++i) {
            QFile file(QString("%1/file%2.txt").arg(folder).arg(i));
            if (file.open(QIODevice::WriteOnly)) file.write("x");
        }
        settings.addFolder(QUrl::fromLocalFile(folder));
        settings.updateFolder(folder, [](tarn::PinnedFolder& pinned) { pinned.inline_ = true; });
    }
    tarn::MenuController controller;
    QElapsedTimer once;
    once.start();
    controller.rebuild();
    std::printf("first rebuild: %.2f ms\n", once.nsecsElapsed() / 1e6);
    const QList<bench::Contender> rebuilds{{"MenuController::rebuild()", [&] { controller.rebuild(); }}};
    const QList<double> rebuildMedians = bench::interleaved(rounds, rebuilds);
    std::printf("%-34s %8.2f ms median of %d (goal: 16 ms), %lld items\n", rebuilds[0].name, rebuildMedians[0],
                rounds, static_cast<long long>(controller.menu()->actions().size()));

    // Huge lists a user may keep: 50 000 favorites (a quarter in 50 groups), then 10 000
    // shortcut scripts (half in 20 folders), against the goal of 100 ms for the rebuild a click
    // runs. Before lists came in pages of 500 rows, 15 000 favorites took 0.7 s.
    {
        QList<tarn::Favorite> many;
        const int count = qEnvironmentVariableIntValue("FAVORITES") ? qEnvironmentVariableIntValue("FAVORITES") : 50000;
        for (int i = 0; i < count; ++i)
            many << tarn::Favorite{tarn::Favorite::Kind::path, QString("%1/docs/n%2.md").arg(home.path()).arg(i),
                                   QString("note %1").arg(i), i % 4 ? std::nullopt : std::optional(QString("group %1").arg(i % 50))};
        settings.setFavorites(many);
        for (int g = 5; g < 50; ++g) settings.addGroup(QString("group %1").arg(g));
        QElapsedTimer timer;
        timer.start();
        controller.rebuild();
        std::printf("first rebuild with 50 000 favorites: %.2f ms, %lld items\n", timer.nsecsElapsed() / 1e6,
                    static_cast<long long>(controller.menu()->actions().size()));
        // The items a rebuild replaces go when the event loop turns, as they do in Tarn.
        const auto dropReplaced = [] { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); };
        dropReplaced();
        const QList<bench::Contender> huge{{"rebuild, 50 000 favorites", [&] { controller.rebuild(); }},
                                           {"the replaced items deleted", dropReplaced}};
        const QList<double> hugeMedians = bench::interleaved(7, huge);
        std::printf("%-34s %8.2f ms median of %d (goal: 100 ms)\n", huge[0].name, hugeMedians[0], 7);
        std::printf("%-34s %8.2f ms median of %d\n", huge[1].name, hugeMedians[1], 7);
        settings.setFavorites(favorites);

        tarn::ShortcutsSnapshot scripts;
        for (int f = 0; f < 20; ++f) scripts.folders << QString("folder %1").arg(f);
        for (int i = 0; i < 10000; ++i)
            scripts.items << tarn::ShortcutItem{QString("script %1").arg(i), QString("id-%1").arg(i),
                                                i % 2 ? std::optional(QString("folder %1").arg(i % 20)) : std::nullopt};
        library.shortcuts = scripts;
        settings.setMode(tarn::SectionMode::inline_, tarn::SectionID::shortcuts);
        const QList<bench::Contender> scripted{{"rebuild, 10 000 shortcut scripts", [&] { controller.rebuild(); }},
                                               {"the replaced items deleted", dropReplaced}};
        const QList<double> scriptedMedians = bench::interleaved(7, scripted);
        std::printf("%-34s %8.2f ms median of %d (goal: 100 ms), %lld items\n", scripted[0].name, scriptedMedians[0], 7,
                    static_cast<long long>(controller.menu()->actions().size()));
        std::printf("%-34s %8.2f ms median of %d\n", scripted[1].name, scriptedMedians[1], 7);
        settings.setMode(tarn::SectionMode::hidden, tarn::SectionID::shortcuts);
        controller.rebuild();
        dropReplaced();
    }

    // From the click to the menu on screen: what the tray click runs (the rebuild before
    // showing, the library refresh it starts, the pop-up) until the server has mapped and
    // exposed the menu. Needs a display: run under xvfb-run with QT_QPA_PLATFORM=xcb.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return 0;
    QMenu* menu = controller.menu();
    // Only the showing is timed: hiding is the next click's business.
    QList<double> shown;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        menu->popup(QPoint(100, 50));
        if (!QTest::qWaitForWindowExposed(menu, 2000)) return 1;
        shown << timer.nsecsElapsed() / 1e6;
        menu->hide();
        QTest::qWait(20);
    }
    std::printf("%-34s %8.2f ms median of %d (goal: 50 ms)\n", "tray click to menu on screen",
                bench::median(shown), rounds);

    // Results arriving while the menu is open rebuild it in place: 2 000 repositories inline
    // (4 000 items with their alternates, 6 000 in all), rebuilt open against the same rebuild hidden.
    // The repositories are on disk in a pinned folder, so that the refresh each opening starts
    // finds them all again.
    for (int i = 1000; i < 2000; ++i) QDir().mkpath(QString("%1/code/project-%2/.git").arg(home.path()).arg(i));
    settings.addFolder(QUrl::fromLocalFile(home.path() + "/code"));
    settings.setMode(tarn::SectionMode::inline_, tarn::SectionID::repositories);
    menu->popup(QPoint(100, 50));
    if (!QTest::qWaitFor([&] { return library.scan.repos.size() == 2000; }, 20000)) return 1;
    menu->hide();
    const int fewer = 7;
    // Only the rebuilds count: time them inside, around the showing.
    QList<double> open, hidden;
    for (int i = 0; i < fewer; ++i) {
        menu->popup(QPoint(100, 50));
        if (!QTest::qWaitForWindowExposed(menu, 2000)) return 1;
        QTest::qWait(1000); // the refresh the opening started has been and gone
        QElapsedTimer timer;
        timer.start();
        controller.rebuild();
        QCoreApplication::processEvents();
        open << timer.nsecsElapsed() / 1e6;
        menu->hide();
        QTest::qWait(20);
        timer.restart();
        controller.rebuild();
        QCoreApplication::processEvents();
        hidden << timer.nsecsElapsed() / 1e6;
    }
    std::printf("%-34s %8.2f ms median of %d, %lld items\n", "rebuild, menu open", bench::median(open), fewer,
                static_cast<long long>(menu->actions().size()));
    std::printf("%-34s %8.2f ms median of %d   open/hidden: %.2f (goal: 2)\n", "rebuild, menu hidden",
                bench::median(hidden), fewer, bench::median(open) / bench::median(hidden));

    // Alt pressed and released in an open submenu of 300 entries (600 items).
    const QString big = home.path() + "/big";
    QDir().mkpath(big);
    for (int i = 0; i < 300; ++i) {
        QFile file(QString("%1/entry%2.txt").arg(big).arg(i));
        if (file.open(QIODevice::WriteOnly)) file.write("x");
    }
    tarn::FolderOptions options;
    auto* submenu = tarn::LazyMenu::holding("big", tarn::MenuItems::contents(
                                                       tarn::MenuItems::listing(QUrl::fromLocalFile(big), options), options));
    submenu->popup(QPoint(300, 50));
    if (!QTest::qWaitForWindowExposed(submenu, 2000)) return 1;
    QList<double> pressed, released;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        QTest::keyPress(submenu, Qt::Key_Alt);
        QCoreApplication::processEvents();
        pressed << timer.nsecsElapsed() / 1e6;
        timer.restart();
        QTest::keyRelease(submenu, Qt::Key_Alt);
        QCoreApplication::processEvents();
        released << timer.nsecsElapsed() / 1e6;
    }
    std::printf("%-34s %8.2f ms median of %d (goal: 16 ms)\n", "Alt pressed, 300 entries", bench::median(pressed), rounds);
    std::printf("%-34s %8.2f ms median of %d (goal: 16 ms)\n", "Alt released, 300 entries", bench::median(released), rounds);
    return 0;
}
