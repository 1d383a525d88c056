#include "model/SectionConfig.h"

#include "model/JsonReader.h"

namespace tarn {

QString rawValue(SectionID id) {
    switch (id) {
    case SectionID::favorites: return QStringLiteral("favorites");
    case SectionID::recent: return QStringLiteral("recent");
    case SectionID::shortcuts: return QStringLiteral("shortcuts");
    case SectionID::folders: return QStringLiteral("folders");
    case SectionID::workspaces: return QStringLiteral("workspaces");
    case SectionID::repositories: return QStringLiteral("repositories");
    case SectionID::quickAccess: return QStringLiteral("quickAccess");
    }
    return {};
}

QString rawValue(SectionMode mode) {
    switch (mode) {
    case SectionMode::inline_: return QStringLiteral("inline");
    case SectionMode::submenu: return QStringLiteral("submenu");
    case SectionMode::hidden: return QStringLiteral("hidden");
    }
    return {};
}

QJsonObject SectionConfig::toJson() const { return {{"id", rawValue(id)}, {"mode", rawValue(mode)}}; }

std::optional<SectionConfig> SectionConfig::fromJson(const QJsonValue& json) {
    JsonReader read(json);
    SectionConfig config{read.enumeration<SectionID>("id"), read.enumeration<SectionMode>("mode")};
    if (!read.ok()) return std::nullopt;
    return config;
}

size_t qHash(const SectionConfig& c, size_t seed) { return qHashMulti(seed, qToUnderlying(c.id), qToUnderlying(c.mode)); }

} // namespace tarn
