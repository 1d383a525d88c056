#include "platform/DefaultsDomain.h"

namespace tarn {

namespace {
template <typename T> std::optional<T> typed(const std::optional<DefaultsValue>& value) {
    if (value && std::holds_alternative<T>(*value)) return std::get<T>(*value);
    return std::nullopt;
}
} // namespace

std::optional<bool> DefaultsDomain::boolean(const QString& key) const {
    return typed<bool>(object(key));
}

std::optional<QString> DefaultsDomain::string(const QString& key) const {
    return typed<QString>(object(key));
}

std::optional<QStringList> DefaultsDomain::stringArray(const QString& key) const {
    return typed<QStringList>(object(key));
}

std::optional<QByteArray> DefaultsDomain::data(const QString& key) const {
    return typed<QByteArray>(object(key));
}

} // namespace tarn
