#pragma once

#include "discovery/Editors.h"

#include <QUrl>
#include <optional>

namespace tarn::Opener {

// How an editor is asked to show a location.
enum class WindowMode { standard, newWindow, currentWindow };

// Not built yet beyond what the menus need to be usable: the editor's own launcher when it has
// one, else the desktop's handler; history is recorded. The tray-menu work completes it.
void openInEditor(const QUrl& url, WindowMode mode, bool background,
                  const std::optional<Editor>& editor);
void openFile(const QUrl& url, bool background);
void openURL(const QUrl& url, bool background);
void openInTerminal(const QUrl& url);

} // namespace tarn::Opener
