#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <optional>

namespace tarn {

// Every enumeration with stored text specialises this with `values`, all its cases in
// declaration order, and declares a `rawValue(E)` overload next to it.
template <typename E> struct EnumCases;

template <typename E> constexpr const auto& allCases() { return EnumCases<E>::values; }

// The case whose raw value is `text`; none for text that is not listed.
template <typename E> std::optional<E> fromRawValue(QStringView text) {
    for (E candidate : allCases<E>())
        if (rawValue(candidate) == text) return candidate;
    return std::nullopt;
}

} // namespace tarn
