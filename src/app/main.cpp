#include "app/AppDelegate.h"
#include "app/SelfTest.h"
#include "platform/GraphicalSession.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--selftest") == 0) {
            tarn::SelfTest::run();
            return EXIT_SUCCESS;
        }
    }
    // QApplication aborts without a display; say plainly what is missing instead.
    if (const std::optional<QString> problem = tarn::GraphicalSession::problem()) {
        std::fprintf(stderr, "Tarn needs a graphical session: %s\n", qPrintable(*problem));
        return EXIT_FAILURE;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarn"));
    QApplication::setDesktopFileName(QStringLiteral("tarn"));
    // Tarn lives in the tray: closing a dialog must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    tarn::AppDelegate delegate;
    QTimer::singleShot(0, &delegate, &tarn::AppDelegate::applicationDidFinishLaunching);
    return app.exec();
}
