#pragma once

#include "model/RawValue.h"

#include <QHashFunctions>
#include <QJsonObject>
#include <optional>

namespace tarn {

enum class SectionID { favorites, recent, shortcuts, folders, workspaces, repositories, quickAccess };

template <> struct EnumCases<SectionID> {
    static constexpr std::array values{SectionID::favorites,    SectionID::recent,
                                       SectionID::shortcuts,    SectionID::folders,
                                       SectionID::workspaces,   SectionID::repositories,
                                       SectionID::quickAccess};
};
QString rawValue(SectionID id);

enum class SectionMode { inline_, submenu, hidden };

template <> struct EnumCases<SectionMode> {
    static constexpr std::array values{SectionMode::inline_, SectionMode::submenu,
                                       SectionMode::hidden};
};
QString rawValue(SectionMode mode);

// One menu section and how it is shown.
struct SectionConfig {
    SectionID id = SectionID::favorites;
    SectionMode mode = SectionMode::inline_;

    bool operator==(const SectionConfig&) const = default;

    QJsonObject toJson() const;
    static std::optional<SectionConfig> fromJson(const QJsonValue& json);
};

size_t qHash(const SectionConfig& config, size_t seed = 0);

} // namespace tarn
