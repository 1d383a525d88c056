#pragma once

#include "platform/Desktop.h"

#include <QStringList>

namespace tarn {

// Opens locations the freedesktop way: the default application of a MIME type or URL scheme
// comes from mimeapps.list (user, then system) and mimeinfo.cache, and is started from its
// desktop entry's Exec line (field codes expanded, no shell), detached.
class LinuxDesktop : public Desktop {
public:
    std::optional<QString> openURL(const QUrl& url, bool background) override;
    std::optional<QString> openWith(const QList<QUrl>& urls, const ApplicationInstall& install,
                                    bool background) override;
    std::optional<QString> openTerminal(const QString& folder, const ApplicationInstall& install) override;
    std::optional<QString> reveal(const QUrl& url) override;
    QList<OfferedApplication> applicationsFor(const QUrl& url) override;
    OfferedApplication describe(const ApplicationInstall& install) override;
    bool launchesAtLogin() override;
    std::optional<QString> setLaunchAtLogin(bool enabled) override;

    // $XDG_CONFIG_HOME/autostart/tarn.desktop
    static QString autostartFile();

    // The desktop entry files that handle `mimeType`, the default first; each once.
    static QStringList desktopFilesFor(const QString& mimeType);
    // The MIME type a URL is opened as: the file's type, or x-scheme-handler/<scheme>.
    static QString mimeTypeOf(const QUrl& url);
};

} // namespace tarn
