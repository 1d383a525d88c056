#pragma once

#include "model/Entry.h"
#include "model/RawValue.h"

#include <QJsonObject>
#include <QString>
#include <optional>

namespace tarn {

// One favorite: a file or folder by path, or any other URL.
struct Favorite {
    enum class Kind { path, link };

    Kind kind = Kind::path;
    QString value;
    QString title;
    std::optional<QString> group;

    bool operator==(const Favorite&) const = default;

    // The entry the favorite stands for, titled with the favorite's title.
    Entry entry() const;

    // Whether `entry` is this favorite: its value, or for a link the address as the entry
    // carries it (URL parsing rewrites what the user typed: "Example.COM", "%7E").
    bool matches(const Entry& entry) const;

    QJsonObject toJson() const;
    static std::optional<Favorite> fromJson(const QJsonValue& json);
};

template <> struct EnumCases<Favorite::Kind> {
    static constexpr std::array values{Favorite::Kind::path, Favorite::Kind::link};
};
QString rawValue(Favorite::Kind kind);

// A named group of favorites; the name is its identity.
struct FavoriteGroup {
    QString name;
    bool asSection = false;

    bool operator==(const FavoriteGroup&) const = default;

    QJsonObject toJson() const;
    static std::optional<FavoriteGroup> fromJson(const QJsonValue& json);
};

// What a favorite's value is compared with: the path for things on disk, the URL text otherwise.
QString favoriteValue(const Entry& entry);

size_t qHash(const Favorite& favorite, size_t seed = 0);
size_t qHash(const FavoriteGroup& group, size_t seed = 0);

} // namespace tarn
