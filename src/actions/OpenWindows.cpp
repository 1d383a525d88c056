#include "actions/OpenWindows.h"

#include "discovery/Editors.h"
#include "model/Store.h"
#include "platform/DefaultsDomain.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "platform/WindowTitles.h"

namespace tarn::OpenWindows {

namespace {
enum AskButton { allow = 0, notNow = 1, turnOff = 2 };

QString trimmedPiece(const QString& piece) {
    auto isTrimmed = [](QChar c) { return c == ' ' || c == '\t' || c == QChar(0x25CF); };
    qsizetype begin = 0, end = piece.size();
    while (begin < end && isTrimmed(piece[begin])) ++begin;
    while (end > begin && isTrimmed(piece[end - 1])) --end;
    return piece.mid(begin, end - begin);
}
} // namespace

QStringList split(const QString& title) {
    QStringList pieces{title};
    for (const QString& separator : {QStringLiteral(" \u2014 "), QStringLiteral(" \u2013 "),
                                    QStringLiteral(" - ")}) {
        QStringList next;
        for (const QString& piece : pieces) next << piece.split(separator);
        pieces = next;
    }
    for (QString& piece : pieces) piece = trimmedPiece(piece);
    return pieces;
}

QSet<QString> titleParts() {
    const WindowTitles& windows = platform().windowTitles();
    if (!Store::shared().boolean(Keys::showOpenWindows, false) || !windows.isTrusted()) return {};
    QStringList editors;
    for (const Editor& editor : Editor::all()) editors << editor.id;
    QSet<QString> parts;
    for (const QString& title : windows.titles(editors))
        for (const QString& part : split(title)) parts.insert(part);
    return parts;
}

void askAtLaunch() {
    Dialogs& dialogs = platform().dialogs();
    dialogs.activate();
    const int choice = dialogs.ask(
        QStringLiteral("Allow Tarn to see your open VS Code windows?"),
        QStringLiteral("The green dots show which workspaces are already open. For that, Tarn "
                       "reads editor window titles, which needs Accessibility access. Click "
                       "Allow, then turn on Tarn in the list."),
        {QString::fromUtf8("Allow\u2026"), QStringLiteral("Not Now"), QStringLiteral("Turn Off Dots")});
    if (choice == allow) fixAccess();
    if (choice == turnOff) Store::shared().defaults().setBool(Keys::showOpenWindows, false);
}

void fixAccess() {
    // Linux has no permission to grant: titles are read from the X11 display when one answers.
    // Nothing handles the macOS settings address here, so say what the dots need instead.
    Dialogs& dialogs = platform().dialogs();
    if (platform().windowTitles().isTrusted()) {
        dialogs.warn(QStringLiteral("Tarn can see your open editor windows"),
                     QStringLiteral("Tarn reads editor window titles from the X11 display, which "
                                    "answers here: the open-window dots need nothing more."));
        return;
    }
    dialogs.warn(QStringLiteral("Open-window dots need an X11 display"),
                 QStringLiteral("Tarn reads the titles of editor windows from the X11 display, "
                                "and no X11 display answers here. On a Wayland desktop, XWayland "
                                "gives one: log in to a session with XWayland, start Tarn there, "
                                "and start your editor with --ozone-platform=x11 so that its "
                                "windows use XWayland too."));
}

} // namespace tarn::OpenWindows
