#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <atomic>

class QSocketNotifier;

namespace tarn {

// Tells which watched folders had names created, removed or moved in or out (not changes
// inside files). watch and unwatch may be called from any thread; `changed` arrives on the
// thread the watcher lives in, a batch per read of the kernel's queue.
class FolderWatcher : public QObject {
    Q_OBJECT
public:
    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    // The folder's watch number, or -1 when it cannot be watched: gone, or the system's limit
    // on watches (or the one set here) reached, which limitReached() then tells.
    int watch(const QByteArray& path);
    void unwatch(int id);
    // Ends all watching, on the watcher's thread: a walk still running may hold the watcher
    // and end it later on its own thread.
    void stop();
    bool limitReached() const { return reachedLimit; }
    // At most `count` watches from now on (tests: the system's limit cannot be lowered there).
    void setLimit(int count) { limit = count; }

Q_SIGNALS:
    // The folders whose names changed; -1 among them when the kernel's queue overflowed and
    // any folder may have changed.
    void changed(const QList<int>& ids);

private:
    void readEvents();

    std::atomic<int> descriptor{-1};
    QSocketNotifier* notifier = nullptr;
    std::atomic<int> count{0};
    std::atomic<int> limit{INT32_MAX};
    std::atomic<bool> reachedLimit{false};
};

} // namespace tarn
