#include "platform/FolderWatcher.h"

#include <QSet>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace tarn {

namespace {
constexpr uint32_t namesChanged = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                  IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;
}

FolderWatcher::FolderWatcher(QObject* parent) : QObject(parent) {
    descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0) {
        reachedLimit = true; // no instance left: nothing can be watched
        return;
    }
    notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
}

FolderWatcher::~FolderWatcher() { stop(); }

void FolderWatcher::stop() {
    delete notifier;
    notifier = nullptr;
    if (const int open = descriptor.exchange(-1); open >= 0) ::close(open);
}

int FolderWatcher::watch(const QByteArray& path) {
    if (descriptor < 0) return -1;
    if (count.fetch_add(1) >= limit) {
        count.fetch_sub(1);
        reachedLimit = true;
        return -1;
    }
    const int id = ::inotify_add_watch(descriptor, path.constData(), namesChanged);
    if (id < 0) {
        count.fetch_sub(1);
        if (errno == ENOSPC) reachedLimit = true;
    }
    return id;
}

void FolderWatcher::unwatch(int id) {
    // Its count goes when the kernel confirms (IN_IGNORED), as for a folder that went.
    if (descriptor >= 0 && id >= 0) ::inotify_rm_watch(descriptor, id);
}

void FolderWatcher::readEvents() {
    alignas(inotify_event) char buffer[64 * 1024];
    QSet<int> ids;
    for (;;) {
        const ssize_t length = ::read(descriptor, buffer, sizeof buffer);
        if (length <= 0) break;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) ids << -1;
            else if (event->mask & IN_IGNORED) count.fetch_sub(1); // the folder went: so did its watch
            else ids << event->wd;
        }
    }
    if (!ids.isEmpty()) Q_EMIT changed(ids.values());
}

} // namespace tarn
