#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one aborts, which the fuzzer records as a finding
// and the replay test reports as a failure.
#define FUZZ_CHECK(condition)                                                                 \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__,          \
                         #condition);                                                         \
            std::abort();                                                                     \
        }                                                                                     \
    } while (false)

namespace tarn::fuzz {

// The input as text the way Tarn decodes files: UTF-8, invalid sequences replaced.
inline QString text(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace tarn::fuzz
