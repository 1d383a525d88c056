#include "model/JsonReader.h"

#include <cmath>

namespace tarn {

QJsonValue JsonReader::present(const char* key) {
    const QJsonValue v = object.value(QLatin1String(key));
    if (v.isUndefined()) fail();
    return v;
}

QString JsonReader::string(const char* key) {
    const QJsonValue v = present(key);
    if (!v.isString()) fail();
    return v.toString();
}

std::optional<QString> JsonReader::optionalString(const char* key) {
    const QJsonValue v = object.value(QLatin1String(key));
    if (isAbsent(v)) return std::nullopt;
    if (!v.isString()) fail();
    return v.toString();
}

bool JsonReader::boolean(const char* key) {
    const QJsonValue v = present(key);
    if (!v.isBool()) fail();
    return v.toBool();
}

bool JsonReader::boolean(const char* key, bool fallback) {
    const QJsonValue v = object.value(QLatin1String(key));
    if (isAbsent(v)) return fallback;
    if (!v.isBool()) fail();
    return v.toBool(fallback);
}

qint64 JsonReader::integer(const char* key, qint64 fallback) {
    const QJsonValue v = object.value(QLatin1String(key));
    if (isAbsent(v)) return fallback;
    const double d = v.toDouble();
    // 2^63 itself is out of range; it is the first double at or above the limit.
    if (!v.isDouble() || d != std::floor(d) || d < -9223372036854775808.0 ||
        d >= 9223372036854775808.0) {
        fail();
        return fallback;
    }
    return v.toInteger(fallback);
}

QStringList JsonReader::stringArray(const char* key) {
    const QJsonValue v = present(key);
    if (!v.isArray()) {
        fail();
        return {};
    }
    QStringList list;
    for (const QJsonValue& element : v.toArray()) {
        if (!element.isString()) fail();
        list << element.toString();
    }
    return list;
}

} // namespace tarn
