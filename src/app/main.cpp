#include "app/AppDelegate.h"
#include "app/SelfTest.h"
#include "discovery/BlockingPool.h"
#include "git/GitReaderProcess.h"
#include "platform/GraphicalSession.h"
#include "platform/Platform.h"
#include "platform/SessionInstance.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdlib>

using tarn::SessionInstance::Request;

namespace {
// How long a quit waits for background tasks already running (a folder walk, a git read).
constexpr int quitGrace = 2000; // ms

const char usage[] =
    "Usage: tarn [option]\n"
    "Tarn lives in the system tray: a menu of your pinned folders, favorites, recent workspaces\n"
    "and git repositories, and a Quick Open panel that fuzzy-finds all of them.\n"
    "\n"
    "Options:\n"
    "  --quick-open  show the Quick Open panel of the running Tarn, or close it when shown\n"
    "                (Tarn starts first when none runs)\n"
    "  --menu        pop the running Tarn's menu up at the pointer\n"
    "  --selftest    print what Tarn finds on this machine and exit\n"
    "  --version     print the version and exit\n"
    "  -h, --help    print this help and exit\n"
    "\n"
    "Files:\n"
    "  $XDG_CONFIG_HOME/tarn/defaults.json  the settings (usually ~/.config/tarn): plain JSON,\n"
    "                safe to edit by hand while Tarn runs; a file that does not parse is never\n"
    "                written over, Tarn says where it breaks and keeps the settings read last\n"
    "  $XDG_DATA_HOME/tarn/shortcuts/       your executable scripts, listed and run as shortcuts\n"
    "                (usually ~/.local/share/tarn/shortcuts)\n"
    "\n"
    "Exit status: 0 on success, 1 when Tarn cannot run (no graphical session, a running Tarn\n"
    "that does not answer), 2 for an unknown option. More in tarn(1).\n";

// The first argument Tarn does not know, if any: a mistyped option must not start a whole Tarn
// or do nothing in silence.
const char* unknownArgument(int argc, char* argv[]) {
    static const char* const known[] = {"--quick-open", "--menu", "--selftest", "--version", "--help", "-h"};
    for (int i = 1; i < argc; ++i) {
        if (std::none_of(std::begin(known), std::end(known), [&](const char* option) { return qstrcmp(argv[i], option) == 0; }))
            return argv[i];
    }
    return nullptr;
}

// What the command line asks the session's Tarn to do once it runs.
Request requestOf(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--quick-open") == 0) return Request::quickOpen;
        if (qstrcmp(argv[i], "--menu") == 0) return Request::menu;
    }
    return Request::none;
}
} // namespace

int main(int argc, char* argv[]) {
    // Tarn's own git reader, started by Tarn itself; never a user's option.
    if (argc == 2 && qstrcmp(argv[1], tarn::GitReaderProcess::workerFlag) == 0)
        return tarn::GitReaderProcess::serve();
    if (const char* unknown = unknownArgument(argc, argv)) {
        std::fprintf(stderr, "tarn: unknown option '%s'\n%s", unknown, usage);
        return 2;
    }
    // The report wins wherever it stands among the options.
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--selftest") == 0) {
            tarn::SelfTest::run();
            return EXIT_SUCCESS;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return EXIT_SUCCESS;
        }
        if (qstrcmp(argv[i], "--version") == 0) {
            std::printf("tarn %s\n", TARN_VERSION);
            return EXIT_SUCCESS;
        }
    }
    // QApplication aborts without a display; say plainly what is missing instead.
    if (const std::optional<QString> problem = tarn::GraphicalSession::problem()) {
        std::fprintf(stderr, "Tarn needs a graphical session: %s\n", qPrintable(*problem));
        return EXIT_FAILURE;
    }

    int status = EXIT_SUCCESS;
    bool backgroundEnded = true;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Tarn"));
        QApplication::setDesktopFileName(QStringLiteral("tarn"));
        // Tarn lives in the tray: closing a dialog must not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        {
            tarn::AppDelegate delegate;
            const Request request = requestOf(argc, argv);
            // One Tarn per session: a later start hands its request to the running one and ends.
            // A Tarn that no longer hears the bus is of no use to the panel or to a later start:
            // it starts afresh (its readers first, so that none is left behind).
            const auto deaf = [] {
                std::fputs("Tarn no longer hears the session bus; starting again.\n", stderr);
                tarn::GitReaderProcess::shared().stopIdleWorkers();
                tarn::SessionInstance::restart();
            };
            switch (tarn::SessionInstance::claim(request, [&delegate](Request asked) { delegate.perform(asked); }, deaf)) {
            case tarn::SessionInstance::Claim::ours: break;
            case tarn::SessionInstance::Claim::handedOver: return EXIT_SUCCESS;
            case tarn::SessionInstance::Claim::unanswered:
                std::fputs("Tarn is running but does not answer; end it and start Tarn again.\n", stderr);
                return EXIT_FAILURE;
            }
            QTimer::singleShot(0, &delegate, [&delegate, request] {
                delegate.applicationDidFinishLaunching();
                delegate.perform(request);
            });
            status = app.exec();
        }
        // An orderly end: background tasks post to the application object, and the platform's
        // windows belong to it, so both go first.
        backgroundEnded = tarn::endBackgroundWork(quitGrace);
        tarn::releasePlatform();
    }
    if (!backgroundEnded) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
