#include "platform/linux/ChildSpawn.h"

#include <QFile>
#include <csignal>

namespace tarn {

ChildSpawn::ChildSpawn(bool ownProcessGroup) {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (ownProcessGroup) {
        posix_spawnattr_setpgroup(&attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attributes, flags);
}

ChildSpawn::~ChildSpawn() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
}

ChildSpawn::Strings::Strings(const QStringList& items) {
    for (const QString& item : items) storage.push_back(QFile::encodeName(item));
    for (QByteArray& s : storage) pointers.push_back(s.data());
    pointers.push_back(nullptr);
}

} // namespace tarn
