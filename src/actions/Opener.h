#pragma once

#include "discovery/Editors.h"
#include "model/Entry.h"

#include <QList>
#include <QUrl>
#include <optional>

namespace tarn {
struct ApplicationInstall;
}

// The one place where an item is handed to another application: a code editor, the file's
// default application, a URL handler, a terminal or the Shortcuts tool. Records opened paths
// in the history and shows failures in alerts. Main thread.
namespace tarn::Opener {

// How an editor is asked to show a location.
enum class WindowMode { standard, newWindow, currentWindow };

// `background`: the opened application is not brought to the front (Shift held).
void openInEditor(const QUrl& url, WindowMode mode, bool background,
                  const std::optional<Editor>& editor);
void open(const Entry& entry, bool background);
void openFile(const QUrl& url, bool background);
void openURL(const QUrl& url, bool background);
void open(const QList<QUrl>& urls, const ApplicationInstall& application, bool background);
void openInTerminal(const QUrl& url);
// Shows the item selected in the file manager.
void reveal(const QUrl& url);
// Puts the file itself on the clipboard, so that pasting in a file manager copies it.
void copyFile(const QUrl& url);
// Asks, then moves the item to the trash; whether it was moved.
bool moveToTrash(const QUrl& url);

} // namespace tarn::Opener
