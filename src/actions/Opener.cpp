#include "actions/Opener.h"

#include "discovery/Terminals.h"
#include "model/Store.h"
#include "platform/Applications.h"
#include "platform/Desktop.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <QProcess>

namespace tarn::Opener {

void openInEditor(const QUrl& url, WindowMode mode, bool, const std::optional<Editor>& editor) {
    Store::shared().recordHistory(url);
    const std::optional<Editor> chosen = editor ? editor : Editors::editor(url);
    const std::optional<QUrl> cli = chosen ? Editors::cliURL(*chosen) : std::nullopt;
    if (!cli) {
        platform().desktop().openURL(url);
        return;
    }
    QStringList arguments;
    if (mode == WindowMode::newWindow && chosen->newWindowFlag) arguments << *chosen->newWindowFlag;
    if (mode == WindowMode::currentWindow && chosen->reuseWindowFlag)
        arguments << *chosen->reuseWindowFlag;
    QProcess::startDetached(cli->toLocalFile(), arguments << url.toLocalFile());
}

void openFile(const QUrl& url, bool background) {
    if (QFileInfo(url.toLocalFile()).suffix() == QLatin1String("code-workspace")) {
        openInEditor(url, WindowMode::standard, background, std::nullopt);
        return;
    }
    Store::shared().recordHistory(url);
    platform().desktop().openURL(url);
}

void openURL(const QUrl& url, bool) { platform().desktop().openURL(url); }

void openInTerminal(const QUrl& url) {
    const QFileInfo location(url.toLocalFile());
    const QString folder = location.isDir() ? location.filePath() : location.path();
    const auto install = platform().applications().find(Terminals::current().id);
    if (install && install->launcher) QProcess::startDetached(*install->launcher, {}, folder);
}

} // namespace tarn::Opener
