#include "discovery/BlockingPool.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace tarn {

QThreadPool& blockingPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(8, QThread::idealThreadCount() * 2));
        return p;
    }();
    return *pool;
}

void runInBackground(TaskPriority priority, std::function<void()> work) {
    blockingPool().start(std::move(work), static_cast<int>(priority));
}

void runOnMainThread(std::function<void()> work) {
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

bool endBackgroundWork(int milliseconds) {
    blockingPool().clear();
    return blockingPool().waitForDone(milliseconds);
}

} // namespace tarn
