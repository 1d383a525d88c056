#include "model/JsonReader.h"


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
    // Integers are kept exactly, all 64 bits of them (a double holds only 53); anything that
    // is no whole number in range gives the fallback, so two fallbacks tell it apart.
    const qint64 value = v.toInteger(0);
    if (!v.isDouble() || value != v.toInteger(1)) {
        fail();
        return fallback;
    }
    return value;
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
