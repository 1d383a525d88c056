#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

namespace tarn {

// One stored value of the user-defaults domain; the domain keeps the type it was written with.
using DefaultsValue = std::variant<bool, QString, QStringList, QByteArray>;

// The per-user key-value store that holds every setting. Implementations are safe to use from
// any thread; each write is persisted before it returns.
class DefaultsDomain {
public:
    virtual ~DefaultsDomain() = default;

    virtual std::optional<DefaultsValue> object(const QString& key) const = 0;
    virtual void set(const QString& key, const DefaultsValue& value) = 0;
    virtual void remove(const QString& key) = 0;

    // Whether anything is stored under `key`, even a value no typed read accepts.
    virtual bool contains(const QString& key) const = 0;

    // Runs `body` (reads and writes of this domain) as one step: no other thread or process
    // writes in between. Nested calls join the outer one.
    virtual void transaction(const std::function<void()>& body) = 0;

    // Keeps a copy of what is stored under `key` before it is replaced, because it could not
    // be read; says where on standard error. False when no copy could be made (reported as a
    // write failure): the value must not be replaced then.
    virtual bool backUp(const QString& key) = 0;

    // Called with the reason whenever a write could not be saved (once per transaction).
    void setWriteFailureHandler(std::function<void(const QString& reason)> handler) {
        writeFailed = std::move(handler);
    }

    // Calls `changed` on the GUI thread, a moment after what is stored may have changed, by
    // Tarn or from outside (a hand edit, another process). Call on the GUI thread; the last
    // call wins. Nothing where the domain cannot tell.
    virtual void watchChanges(std::function<void()> changed) { (void)changed; }

    // Why what is stored cannot be read now (the last settings read stay in force); none when
    // it reads.
    virtual std::optional<QString> problem() const { return std::nullopt; }

    // Typed reads: a key that holds another type reads as absent.
    std::optional<bool> boolean(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    std::optional<QStringList> stringArray(const QString& key) const;
    // A domain that stores data as readable text may read back data that looks like another
    // type; it says so here.
    virtual std::optional<QByteArray> data(const QString& key) const;

    void setBool(const QString& key, bool value) { set(key, value); }
    void setString(const QString& key, const QString& value) { set(key, value); }
    void setStringArray(const QString& key, const QStringList& value) { set(key, value); }
    void setData(const QString& key, const QByteArray& value) { set(key, value); }

protected:
    void reportWriteFailure(const QString& reason) const {
        if (writeFailed) writeFailed(reason);
    }

private:
    std::function<void(const QString& reason)> writeFailed;
};

} // namespace tarn
