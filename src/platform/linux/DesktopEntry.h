#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tarn {

// The [Desktop Entry] group of a freedesktop .desktop file: what Tarn needs to find an
// installed application (GIO starts it).
struct DesktopEntry {
    QString path;
    QString name;
    QString exec;
    QString icon;
    QStringList mimeTypes; // MimeType=
    bool hidden = false; // Hidden=true: the entry counts as deleted

    bool operator==(const DesktopEntry&) const = default;

    // None when the file cannot be read or has no [Desktop Entry] group.
    static std::optional<DesktopEntry> read(const QString& path);
    // The same for the bytes of the file at `path`.
    static std::optional<DesktopEntry> parse(const QByteArray& contents, const QString& path);

    // The program the Exec line really starts, or empty: its first argument, looking through
    // `env` with its assignments and through `sh -c "…"` (and bash, dash, zsh) to the program
    // they run. `flatpak run` stays `flatpak`; see flatpakApp.
    QString program() const;

    // The application id when the Exec line is `flatpak run [options] <id> …`.
    std::optional<QString> flatpakApp() const;
};

} // namespace tarn
