#include "TestPlatform.h"

#include <QCoreApplication>
#include <utility>

namespace tarn::test {

std::optional<DefaultsValue> MemoryDefaults::object(const QString& key) const {
    QMutexLocker locker(&mutex);
    const auto found = values.constFind(key);
    if (found == values.constEnd()) return std::nullopt;
    return *found;
}

void MemoryDefaults::set(const QString& key, const DefaultsValue& value) {
    QMutexLocker locker(&mutex);
    if (!failWrites) {
        values.insert(key, value);
        changed();
        return;
    }
    if (depth > 0)
        failedInTransaction = true;
    else
        reportWriteFailure(*failWrites);
}

void MemoryDefaults::remove(const QString& key) {
    QMutexLocker locker(&mutex);
    values.remove(key);
    changed();
}

void MemoryDefaults::changed() const {
    if (watcher && qApp) QMetaObject::invokeMethod(qApp, watcher, Qt::QueuedConnection);
}

bool MemoryDefaults::contains(const QString& key) const {
    QMutexLocker locker(&mutex);
    return values.contains(key);
}

void MemoryDefaults::transaction(const std::function<void()>& body) {
    QMutexLocker locker(&mutex);
    if (depth++ == 0) ++transactions;
    body();
    if (--depth == 0 && std::exchange(failedInTransaction, false)) reportWriteFailure(*failWrites);
}

bool MemoryDefaults::backUp(const QString& key) {
    QMutexLocker locker(&mutex);
    backups << key;
    return true;
}

std::optional<QList<QUrl>> TestDialogs::openPanel(const OpenPanelRequest& request) {
    openPanelRequests.append(request);
    if (duringOpenPanel) duringOpenPanel();
    if (openPanelAnswers.isEmpty()) return std::nullopt;
    return openPanelAnswers.dequeue();
}

} // namespace tarn::test
