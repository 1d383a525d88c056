#pragma once

#include "platform/Applications.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace tarn {

// The desktop's handlers for locations, and starting applications with them. Each operation
// returns none when the application was started, else the reason it could not be, in words a
// user understands. `background`: the started application should not come to the front.
// An application the desktop offers for opening something, as the user knows it.
struct OfferedApplication {
    ApplicationInstall install;
    QString name;     // its display name
    QString iconName; // an icon-theme name or an icon file; empty for none

    bool operator==(const OfferedApplication&) const = default;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows the item selected in the file manager; opens its folder when no file manager can.
    virtual std::optional<QString> reveal(const QUrl& url) = 0;

    // The file manager as the desktop names it ("Files", "Dolphin"); "File Manager" when unknown.
    virtual QString fileManagerName() = 0;

    // Shows a desktop notification; `notShown` runs later, on this thread, when no notification
    // service takes it.
    virtual void notify(const QString& summary, const QString& body, std::function<void()> notShown) = 0;

    // The applications that can open `url`, the default first, each once; each install's
    // launcher is the program its desktop entry starts, where known.
    virtual QList<OfferedApplication> applicationsFor(const QUrl& url) = 0;

    // The display name and icon of an installed application.
    virtual OfferedApplication describe(const ApplicationInstall& install) = 0;

    // Whether Tarn starts when the user logs in, and changing that; the reason when it could not.
    virtual bool launchesAtLogin() = 0;
    virtual std::optional<QString> setLaunchAtLogin(bool enabled) = 0;

    // Opens `url` with the default application of its file type or URL scheme.
    virtual std::optional<QString> openURL(const QUrl& url, bool background) = 0;

    // Opens `urls` with the application `install`.
    virtual std::optional<QString> openWith(const QList<QUrl>& urls, const ApplicationInstall& install,
                                            bool background) = 0;

    // Starts the terminal `install` working in `folder`.
    virtual std::optional<QString> openTerminal(const QString& folder,
                                                const ApplicationInstall& install) = 0;
};

} // namespace tarn
