#pragma once

#include <QByteArray>
#include <QStringList>

#include <spawn.h>
#include <vector>

namespace tarn {

// What every program Tarn spawns starts from: no blocked signals, the default action for
// SIGPIPE, SIGTERM and SIGINT (whatever Tarn itself ignores), and optionally a process group
// of its own; file actions are added by the caller. Also turns argument and environment lists
// into the arrays posix_spawn takes.
class ChildSpawn {
public:
    explicit ChildSpawn(bool ownProcessGroup);
    ~ChildSpawn();
    ChildSpawn(const ChildSpawn&) = delete;
    ChildSpawn& operator=(const ChildSpawn&) = delete;

    // The bytes `text` stands for: UTF-8, except that each lone U+DC80..U+DCFF is the byte
    // fileArgument put there.
    static QByteArray bytesOf(const QString& text);

    // A null-terminated array of the items as such bytes, alive as long as it is.
    class Strings {
    public:
        explicit Strings(const QStringList& items);
        char* const* data() { return pointers.data(); }

    private:
        std::vector<QByteArray> storage;
        std::vector<char*> pointers;
    };

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace tarn
