#pragma once

#include "platform/DefaultsDomain.h"

#include <QHash>
#include <QJsonObject>
#include <QFileSystemWatcher>
#include <QRecursiveMutex>
#include <QTimer>
#include <functional>
#include <memory>

namespace tarn {

// The user-defaults domain as one JSON object in a file: key -> value, a boolean as true/false,
// a string as a string, a string array as an array of strings, a data value that is a JSON
// array or object as that JSON, other data as {"data": "<base64>"}. An array of strings (or an
// empty one) reads as a string array, and as data too, because JSON cannot tell them apart.
//
// Reads are cached and re-read when the file changes on disk. A write takes an exclusive lock
// shared with other processes, re-reads the file, changes one key and replaces the file
// atomically (temporary file, fsync, rename, each step checked), so concurrent writers of
// different keys lose nothing and a writer killed midway or a full disk leaves the previous
// file intact. The version replaced is kept as "<file>.last". A settings file that is a link
// is written where it links to. A transaction holds the lock across a whole read-change-write.
//
// A file that does not parse (a typo in a hand edit), is not a regular file or is too large
// leaves the last settings read in force, says so in problem(), and is never written over:
// writes fail, reported, until it reads again.
class JsonDefaultsDomain : public DefaultsDomain {
public:
    explicit JsonDefaultsDomain(QString filePath);

    // $XDG_CONFIG_HOME/tarn/defaults.json
    static QString standardPath();

    QString filePath() const { return path; }

    std::optional<DefaultsValue> object(const QString& key) const override;
    void set(const QString& key, const DefaultsValue& value) override;
    void remove(const QString& key) override;
    std::optional<QByteArray> data(const QString& key) const override;
    bool contains(const QString& key) const override;
    void transaction(const std::function<void()>& body) override;
    bool backUp(const QString& key) override;
    // Watches the folder: the file is replaced, never written in place.
    void watchChanges(std::function<void()> changed) override;
    std::optional<QString> problem() const override;

    // For tests: every write fails at `step` as on a full disk (ENOSPC); none for real writes.
    enum class WriteStep { write, flush, rename, directory };
    void failWritesAt(std::optional<WriteStep> step);

private:
    struct Stamp {
        bool exists = false;
        quint64 device = 0, inode = 0;
        qint64 size = 0, seconds = 0, nanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };

    static Stamp stampOf(const QString& filePath);
    QJsonObject current() const;
    std::optional<QJsonValue> stored(const QString& key) const;
    void change(const std::function<void(QJsonObject&)>& edit);
    std::optional<QJsonObject> onDiskForWriting(const QString& target);
    bool changedJustNow() const;
    QString writeTarget() const;
    void removeStaleTemporaryFiles() const;
    std::optional<QString> replaceFile(const QString& target, const QByteArray& bytes) const;

    QString path;
    mutable QRecursiveMutex mutex;
    int transactionDepth = 0;
    int lockFd = -1;                  // the cross-process lock while a transaction runs
    std::optional<QString> failure;   // the first write failure of the running transaction
    mutable std::optional<Stamp> cachedStamp;
    mutable QJsonObject cached;
    mutable QHash<QString, QByteArray> cachedData; // data values of `cached`, as data() gave them
    mutable std::optional<QString> unreadable; // why the file on disk is not what is in force
    std::optional<WriteStep> failingStep;
    std::unique_ptr<QFileSystemWatcher> watcher; // GUI thread only
    std::unique_ptr<QTimer> settle;             // one call for a burst of changes
};

} // namespace tarn
