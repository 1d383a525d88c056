#pragma once

#include "model/RawValue.h"

#include <QHashFunctions>
#include <QJsonObject>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace tarn {

// A folder of shortcuts that the user made.
struct ShortcutFolder {
    enum class Style { submenu, section, plain };

    QUuid id;
    QString name;
    Style style = Style::submenu;
    QStringList shortcutIDs;

    bool operator==(const ShortcutFolder&) const = default;

    QJsonObject toJson() const;
    static std::optional<ShortcutFolder> fromJson(const QJsonValue& json);
};

template <> struct EnumCases<ShortcutFolder::Style> {
    static constexpr std::array values{ShortcutFolder::Style::submenu, ShortcutFolder::Style::section,
                                       ShortcutFolder::Style::plain};
};
QString rawValue(ShortcutFolder::Style style);

// The canonical upper-case 36-character text of a UUID.
QString uuidText(const QUuid& id);

// The UUID of a 36-character text in either letter case; none for anything else.
std::optional<QUuid> uuidFromText(const QString& text);

size_t qHash(const ShortcutFolder& folder, size_t seed = 0);

} // namespace tarn
