#include "actions/OpenWindows.h"

#include "discovery/Editors.h"
#include "model/Store.h"
#include "platform/DefaultsDomain.h"
#include "platform/Platform.h"
#include "platform/WindowTitles.h"

namespace tarn::OpenWindows {

namespace {
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

QString unreadableReason() { return QStringLiteral("needs an X11 session"); }

} // namespace tarn::OpenWindows
