#include "app/AppDelegate.h"
#include "app/SelfTest.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

// QApplication aborts without a display; say plainly what is missing instead.
bool hasGraphicalSession() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--selftest") == 0) {
            tarn::SelfTest::run();
            return EXIT_SUCCESS;
        }
    }
    if (!hasGraphicalSession()) {
        std::fputs("Tarn needs a graphical session: no X11 or Wayland display was found "
                   "(DISPLAY and WAYLAND_DISPLAY are unset).\n",
                   stderr);
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
