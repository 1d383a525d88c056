#pragma once

#include "model/RawValue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <optional>

namespace tarn {

// Reads the fields of one JSON object the strict way records are decoded: a required key that
// is missing, or any key of the wrong type, marks the whole object as failed. An optional key
// that is missing or null takes its default. Unknown keys are ignored.
class JsonReader {
public:
    explicit JsonReader(const QJsonValue& value) : object(value.toObject()), valid(value.isObject()) {}

    bool ok() const { return valid; }

    QString string(const char* key);
    std::optional<QString> optionalString(const char* key);
    bool boolean(const char* key);
    bool boolean(const char* key, bool fallback);
    qint64 integer(const char* key, qint64 fallback);
    QStringList stringArray(const char* key);
    QJsonValue present(const char* key); // required, of any type

    template <typename E> E enumeration(const char* key) {
        return toEnum<E>(present(key), E{});
    }
    template <typename E> E enumeration(const char* key, E fallback) {
        const QJsonValue v = object.value(QLatin1String(key));
        return isAbsent(v) ? fallback : toEnum<E>(v, fallback);
    }

    void fail() { valid = false; }

private:
    static bool isAbsent(const QJsonValue& v) { return v.isUndefined() || v.isNull(); }

    template <typename E> E toEnum(const QJsonValue& v, E fallback) {
        if (!v.isString()) {
            fail();
            return fallback;
        }
        if (auto decoded = fromRawValue<E>(v.toString())) return *decoded;
        fail();
        return fallback;
    }

    QJsonObject object;
    bool valid;
};

// Decodes a whole JSON array of records (each with a static `fromJson`) at once: none if the
// bytes are not an array or any element does not decode.
template <typename T> std::optional<QList<T>> decodeList(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) return std::nullopt;
    QList<T> list;
    for (const QJsonValue& element : document.array()) {
        std::optional<T> record = T::fromJson(element);
        if (!record) return std::nullopt;
        list << *record;
    }
    return list;
}

// Encodes a list of records (each with `toJson`) as a compact JSON array.
template <typename T> QByteArray encodeList(const QList<T>& list) {
    QJsonArray array;
    for (const T& record : list) array.append(record.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace tarn
