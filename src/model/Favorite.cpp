#include "model/Favorite.h"

#include "model/JsonReader.h"

namespace tarn {

QString rawValue(Favorite::Kind kind) {
    return kind == Favorite::Kind::path ? QStringLiteral("path") : QStringLiteral("link");
}

QString favoriteValue(const Entry& entry) {
    if (entry.kind == EntryKind::link || entry.kind == EntryKind::shortcut)
        return entry.url.toString(QUrl::FullyEncoded);
    return entry.url.toLocalFile();
}

Entry Favorite::entry() const {
    if (kind == Kind::path) {
        Entry e = Entry::classify(QUrl::fromLocalFile(value));
        e.title = title;
        return e;
    }
    QUrl url(value, QUrl::StrictMode);
    if (!url.isValid() || value.isEmpty()) url = QUrl(QStringLiteral("about:blank"));
    return Entry{EntryKind::link, url, title, std::nullopt, std::nullopt};
}

bool Favorite::matches(const Entry& e) const {
    const QString wanted = favoriteValue(e);
    if (value == wanted) return true;
    if (kind != Kind::link || value.isEmpty()) return false;
    const QUrl url(value, QUrl::StrictMode);
    return url.isValid() && url.toString(QUrl::FullyEncoded) == wanted;
}

QJsonObject Favorite::toJson() const {
    QJsonObject json{{"kind", rawValue(kind)}, {"value", value}, {"title", title}};
    if (group) json.insert("group", *group);
    return json;
}

std::optional<Favorite> Favorite::fromJson(const QJsonValue& json) {
    JsonReader read(json);
    Favorite favorite;
    favorite.kind = read.enumeration<Kind>("kind");
    favorite.value = read.string("value");
    favorite.title = read.string("title");
    favorite.group = read.optionalString("group");
    if (!read.ok()) return std::nullopt;
    return favorite;
}

QJsonObject FavoriteGroup::toJson() const { return {{"name", name}, {"asSection", asSection}}; }

std::optional<FavoriteGroup> FavoriteGroup::fromJson(const QJsonValue& json) {
    JsonReader read(json);
    FavoriteGroup group{read.string("name"), read.boolean("asSection")};
    if (!read.ok()) return std::nullopt;
    return group;
}

size_t qHash(const Favorite& f, size_t seed) {
    return qHashMulti(seed, qToUnderlying(f.kind), f.value, f.title, f.group.value_or(QString()),
                      f.group.has_value());
}

size_t qHash(const FavoriteGroup& g, size_t seed) { return qHashMulti(seed, g.name, g.asSection); }

} // namespace tarn
