#pragma once

#include "platform/Desktop.h"

#include <QStringList>

namespace tarn {

// Opens locations the way the desktop does, through GIO: the default application of a MIME type
// or URL scheme and the applications offered for it come from the MIME associations, and
// desktop entries are started by GIO (field codes, Terminal=true, TryExec, DBusActivatable).
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
    QString fileManagerName() override;
    void notify(const QString& summary, const QString& body, std::function<void()> notShown) override;

    // $XDG_CONFIG_HOME/autostart/tarn.desktop
    static QString autostartFile();
    // The autostart entry that starts `program`, quoted by the desktop-entry rules.
    static QByteArray autostartEntry(const QString& program);

    // The MIME type a URL is opened as: the file's type, or x-scheme-handler/<scheme>.
    static QString mimeTypeOf(const QUrl& url);

private:
};

} // namespace tarn
