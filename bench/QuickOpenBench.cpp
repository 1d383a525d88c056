// Quick Open's two speeds.
//
// 1. One `recompute` of the model over a catalogue of 100 000 entries, for short queries,
//    against the bare scoring loop over the same prepared titles (no ranking, no cap), as
//    interleaved medians. Goal: 10 ms.
// 2. With an X server and a window manager: from sending the hotkey with xdotool to the panel
//    mapped and holding the keyboard focus, against the same press reaching a handler that does
//    nothing (what starting xdotool and the key's trip through the server cost). Goal: 50 ms.
//
//   QT_QPA_PLATFORM=offscreen bench_quickopen                # the first part only
//   xvfb-run -a sh -c 'openbox & sleep 1; bench_quickopen'   # both
#include "Interleaved.h"
#include "library/Library.h"
#include "platform/linux/X11GlobalHotkeys.h"
#include "quickopen/QuickOpenController.h"
#include "quickopen/QuickOpenModel.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <QWindow>
#include <cstdio>

namespace {

const QStringList words{"api",   "server", "client", "core",   "utils", "web",   "app",     "mobile",
                        "docs",  "infra",  "deploy", "auth",   "search", "index", "worker", "queue",
                        "cache", "tarn",   "notes",  "legacy", "v2",     "test",  "data",   "tools"};

QList<tarn::QOEntry> catalogue(int size) {
    QRandomGenerator random(42);
    QList<tarn::QOEntry> entries;
    entries.reserve(size);
    for (int i = 0; i < size; ++i) {
        QString title = words[random.bounded(words.size())];
        for (int more = random.bounded(3); more > 0; --more) title += '-' + words[random.bounded(words.size())];
        const QString path = "/home/dev/src/" + words[random.bounded(words.size())] + '/' + title;
        entries << tarn::QOEntry{{tarn::EntryKind::repo, QUrl::fromLocalFile(path), title, {}, {}},
                                 "Repository \u00b7 ~/src/" + title};
    }
    return entries;
}

void recomputeSpeed() {
    const QList<tarn::QOEntry> entries = catalogue(100000);
    tarn::QuickOpenModel model;
    model.setAll(entries);
    QList<tarn::Fuzzy::Prepared> titles;
    for (const tarn::QOEntry& entry : entries) titles << tarn::Fuzzy::Prepared(entry.entry.title);
    std::printf("recompute over %lld entries (median of 15, ms)\n", static_cast<long long>(entries.size()));
    for (const char* typed : {"a", "api", "srv", "tarn notes", "xyz"}) {
        const QString query = QString::fromUtf8(typed);
        model.setQuery(query);
        const QList<double> medians = bench::interleaved(
            15, {{"recompute", [&] { model.recompute(); }},
                 {"bare scoring", [&] {
                      const tarn::Fuzzy::Prepared q(query);
                      long long sum = 0;
                      for (const auto& title : titles) sum += tarn::Fuzzy::score(q, title).value_or(0);
                      if (sum == -1) std::printf(" ");
                  }}});
        std::printf("  %-12s recompute %6.2f   bare scoring %6.2f   ratio %.2f   %lld results\n", typed, medians[0],
                    medians[1], medians[0] / medians[1], static_cast<long long>(model.results().size()));
    }
}

// Milliseconds from starting `xdotool key ctrl+alt+space` until `done` says so.
double pressUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    QProcess::startDetached("xdotool", {"key", "ctrl+alt+space"});
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { if (done() || timer.elapsed() > 3000) loop.quit(); });
    poll.start(0);
    loop.exec();
    return timer.nsecsElapsed() / 1e6;
}

void hotkeySpeed() {
    tarn::X11GlobalHotkeys hotkeys;
    if (!hotkeys.grab(1, 49, 0x1800)) {
        std::printf("\nhotkey: ctrl+alt+space cannot be grabbed here; skipped\n");
        return;
    }
    tarn::QuickOpenController& controller = tarn::QuickOpenController::shared();
    // The panel shows what the library found: a pinned folder of 500 repositories, and 4 500
    // favorites.
    tarn::Library& library = tarn::Library::shared();
    library.refresh(false);
    if (!QTest::qWaitFor([&] { return !library.quickOpenEntries().isEmpty() && !library.scanning; }, 10000))
        std::printf("the library found nothing in time\n");
    // As in Tarn: the press holds the keyboard until the panel has the focus.
    hotkeys.holdKeysOnPress(1);
    bool pressed = false;
    enum class Shows { nothing, bareWindow, panel } shows = Shows::nothing;
    // The peer: a plain window of the same size shown and activated by the same press.
    QWidget bare;
    bare.setWindowTitle("bare");
    bare.resize(640, 440);
    hotkeys.pressed = [&](int) {
        pressed = true;
        switch (shows) {
        case Shows::nothing: hotkeys.releaseKeys(0); break;
        case Shows::bareWindow:
            bare.show();
            bare.activateWindow();
            break;
        case Shows::panel: controller.show(); break;
        }
    };
    auto bareFocused = [&] {
        const bool focused = bare.isVisible() && QGuiApplication::focusWindow() == bare.windowHandle();
        if (focused) hotkeys.releaseKeys(bare.winId());
        return focused;
    };
    auto panelFocused = [&] {
        QWidget* panel = controller.panelWidget();
        const bool focused = panel && panel->isVisible() && QGuiApplication::focusWindow() == panel->windowHandle();
        if (focused) hotkeys.releaseKeys(panel->winId());
        return focused;
    };
    QList<double> handler, window, panel;
    for (int round = 0; round < 15; ++round) {
        shows = Shows::nothing;
        pressed = false;
        handler << pressUntil([&] { return pressed; });
        shows = Shows::bareWindow;
        window << pressUntil(bareFocused);
        bare.hide();
        QTest::qWait(100);
        shows = Shows::panel;
        panel << pressUntil(panelFocused);
        controller.close();
        QTest::qWait(100);
    }
    const double h = bench::median(handler), w = bench::median(window), p = bench::median(panel);
    std::printf("\nhotkey press to (median of 15, ms)\n  handler called %6.2f   bare window focused %6.2f"
                "   panel (5 000 entries) focused %6.2f   panel/bare window %.2f\n",
                h, w, p, p / w);
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    const QString code = home.path() + "/code";
    for (int i = 0; i < 500; ++i) QDir().mkpath(QString("%1/project-%2/.git").arg(code).arg(i));
    const QByteArray folders = QJsonDocument(QJsonArray{QJsonObject{{"path", code}}}).toJson(QJsonDocument::Compact);
    QDir().mkpath(home.path() + "/.config/tarn");
    QFile settings(home.path() + "/.config/tarn/defaults.json");
    if (settings.open(QIODevice::WriteOnly)) {
        QJsonArray favorites;
        for (int i = 0; i < 4500; ++i)
            favorites << QJsonObject{{"kind", "link"}, {"value", QString("https://example.com/%1").arg(i)},
                                     {"title", QString("note %1").arg(i)}};
        const QByteArray list = QJsonDocument(favorites).toJson(QJsonDocument::Compact);
        settings.write(QJsonDocument(QJsonObject{{"pinnedFolders", QJsonObject{{"data", QString(folders.toBase64())}}},
                                                 {"favorites", QJsonObject{{"data", QString(list.toBase64())}}}})
                           .toJson());
    }
    settings.close();
    QApplication app(argc, argv);
    recomputeSpeed();
    if (QGuiApplication::platformName() == QLatin1String("xcb")) hotkeySpeed();
    return 0;
}
