// Building the items of a big menu: 1 000 repository entries and 200 favorites, with their
// titles, tool tips and git columns, against the one-frame budget of 16 ms.
//
//   QT_QPA_PLATFORM=offscreen bench_menu
#include "Interleaved.h"
#include "git/GitStore.h"
#include "menu/MenuItems.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

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
    return 0;
}
