#pragma once

#include "model/RawValue.h"

#include <QHashFunctions>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace tarn {

enum class SortKey { name, dateModified, dateCreated, size, kind };

template <> struct EnumCases<SortKey> {
    static constexpr std::array values{SortKey::name, SortKey::dateModified, SortKey::dateCreated,
                                       SortKey::size, SortKey::kind};
};
QString rawValue(SortKey key);

// How a pinned folder's listing is built. Every field may be missing in stored JSON.
struct FolderOptions {
    SortKey sort = SortKey::name;
    bool ascending = true;
    bool foldersFirst = true;
    bool showHidden = false;
    bool hideWhenEmpty = false;
    qint64 itemLimit = 300;

    bool operator==(const FolderOptions&) const = default;

    QJsonObject toJson() const;
    static std::optional<FolderOptions> fromJson(const QJsonValue& json);
};

// One pinned folder, identified by its absolute path.
struct PinnedFolder {
    QString path;
    bool inline_ = false; // "inline" in stored JSON
    FolderOptions options;
    std::optional<QString> editorID;

    bool operator==(const PinnedFolder&) const = default;

    QJsonObject toJson() const;
    static std::optional<PinnedFolder> fromJson(const QJsonValue& json);
};

size_t qHash(const FolderOptions& options, size_t seed = 0);
size_t qHash(const PinnedFolder& folder, size_t seed = 0);

} // namespace tarn
