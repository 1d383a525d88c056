#include "model/ShortcutFolder.h"

#include "model/JsonReader.h"

#include <QRegularExpression>

namespace tarn {

QString rawValue(ShortcutFolder::Style style) {
    switch (style) {
    case ShortcutFolder::Style::submenu: return QStringLiteral("submenu");
    case ShortcutFolder::Style::section: return QStringLiteral("section");
    case ShortcutFolder::Style::plain: return QStringLiteral("plain");
    }
    return {};
}

QString uuidText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

std::optional<QUuid> uuidFromText(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!form.match(text).hasMatch()) return std::nullopt;
    return QUuid::fromString(text);
}

QJsonObject ShortcutFolder::toJson() const {
    return {{"id", uuidText(id)},
            {"name", name},
            {"style", rawValue(style)},
            {"shortcutIDs", QJsonArray::fromStringList(shortcutIDs)}};
}

std::optional<ShortcutFolder> ShortcutFolder::fromJson(const QJsonValue& json) {
    JsonReader read(json);
    ShortcutFolder folder;
    const std::optional<QUuid> id = uuidFromText(read.string("id"));
    if (!id) read.fail();
    folder.id = id.value_or(QUuid());
    folder.name = read.string("name");
    folder.style = read.enumeration<Style>("style");
    folder.shortcutIDs = read.stringArray("shortcutIDs");
    if (!read.ok()) return std::nullopt;
    return folder;
}

size_t qHash(const ShortcutFolder& f, size_t seed) {
    return qHashMulti(seed, f.id, f.name, qToUnderlying(f.style), f.shortcutIDs);
}

} // namespace tarn
