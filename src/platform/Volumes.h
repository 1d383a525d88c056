#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace tarn {

// A mounted volume as a file manager shows it.
struct MountedVolume {
    QString mountPoint;
    QString name;             // its label; empty when it has none
    bool ejectable = false;   // the drive is ejectable or removable, or known not internal
    std::optional<qint64> free; // bytes available, when known

    bool operator==(const MountedVolume&) const = default;
};

// The user-visible mounted volumes, and ejecting them.
class Volumes {
public:
    virtual ~Volumes() = default;

    // In the order the system reports them; never the root file system. Blocks briefly.
    virtual QList<MountedVolume> mounted() = 0;

    // Unmounts the volume and ejects (or powers off) its drive; the reason when it could not.
    // Blocks: call it off the GUI thread.
    virtual std::optional<QString> eject(const QString& mountPoint) = 0;
};

} // namespace tarn
