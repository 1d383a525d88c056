#pragma once

#include <QString>
#include <optional>

namespace tarn {

// Where an application identified by its bundle identifier is installed on this machine.
struct ApplicationInstall {
    QString location;                    // the install folder, or the desktop entry that names it
    std::optional<QString> launcher;     // its command-line launcher, when it has one
    std::optional<QString> desktopEntry; // the desktop entry that starts it, when one was found

    bool operator==(const ApplicationInstall&) const = default;
};

// Finds applications by bundle identifier ("com.microsoft.VSCode"); each call looks again.
class Applications {
public:
    virtual ~Applications() = default;

    // None when the application is not installed.
    virtual std::optional<ApplicationInstall> find(const QString& bundleID) const = 0;
};

} // namespace tarn
