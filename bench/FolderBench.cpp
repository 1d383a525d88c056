// A pinned folder of 200 000 files: its submenu's contents against `ls -f | head -300` on the
// same folder, interleaved, and the tray menu's opening while the folder is shown inline.
//
//   QT_QPA_PLATFORM=offscreen bench_folder [files]   (default 200 000)
#include "Interleaved.h"
#include "library/Library.h"
#include "menu/MenuController.h"
#include "menu/MenuItems.h"
#include "model/Store.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    QApplication app(argc, argv);
    const int files = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 200000;
    const QString folder = home.path() + "/big";
    QDir().mkpath(folder);
    for (int i = 0; i < files; ++i) {
        const QByteArray name = QFile::encodeName(QString("%1/file-%2.txt").arg(folder).arg(i * 7919 % files));
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
    }
    const tarn::FolderOptions options; // by name, 300 shown
    const QUrl url = QUrl::fromLocalFile(folder);
    const int rounds = 11;
    auto shell = [&](const char* command) { QProcess::execute("sh", {"-c", command, folder}); };

    // Reading the folder, in the background: all its names, to order them.
    const QList<bench::Contender> reads{
        {"listing (all read, 300 made)", [&] { tarn::MenuItems::shownListing(url, options); }},
        {"ls -f (all names)", [&] { shell("ls -f \"$0\" > /dev/null"); }},
    };
    std::printf("folder of %d files\n", files);
    bench::report(reads, bench::interleaved(rounds, reads), rounds);

    // Opening the pinned folder's submenu: shown from the listing the library read when the
    // menu opened, while the submenu reads the folder again.
    tarn::Store& store = tarn::Store::shared();
    store.addFolder(url);
    tarn::Library& library = tarn::Library::shared();
    tarn::MenuController controller;
    if (!QTest::qWaitFor([&] { return library.listingOf(folder, options).has_value(); }, 60000)) return 1;
    controller.rebuild();
    auto submenu = [&]() -> QMenu* {
        for (QAction* item : controller.menu()->actions())
            if (item->text() == "big" && item->menu()) return item->menu();
        return nullptr;
    };
    if (!submenu()) return 1;
    QList<double> opened, peer;
    qsizetype shown = 0;
    for (int i = 0; i < rounds; ++i) {
        QMenu* menu = submenu();
        QElapsedTimer timer;
        timer.start();
        Q_EMIT menu->aboutToShow();
        opened << timer.nsecsElapsed() / 1e6;
        shown = menu->actions().size();
        QTest::qWait(1000); // its own read, in the background, and the old items deleted
        timer.restart();
        shell("ls -f \"$0\" | head -300 > /dev/null");
        peer << timer.nsecsElapsed() / 1e6;
    }
    std::printf("%-34s %10.3f ms median of %d   ratio to ls -f | head -300: %.2f, %lld items\n",
                "pinned folder submenu opening", bench::median(opened), rounds,
                bench::median(opened) / bench::median(peer), static_cast<long long>(shown));
    std::printf("%-34s %10.3f ms median of %d\n", "ls -f | head -300", bench::median(peer), rounds);

    // The tray menu opening (its rebuild, and the refresh it starts) with the folder inline:
    // what the GUI thread spends.
    store.updateFolder(folder, [](tarn::PinnedFolder& pinned) { pinned.inline_ = true; });
    controller.rebuild();
    QList<double> opening;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        Q_EMIT controller.menu()->aboutToShow();
        opening << timer.nsecsElapsed() / 1e6;
        if (!QTest::qWaitFor([&] { return !library.scanning && !library.listingFolders; }, 60000)) return 1;
    }
    std::printf("%-34s %10.3f ms median of %d (goal: 50 ms), %lld items\n", "menu opening, folder inline",
                bench::median(opening), rounds, static_cast<long long>(controller.menu()->actions().size()));
    return 0;
}
