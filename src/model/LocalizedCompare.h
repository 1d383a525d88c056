#pragma once

#include <QString>
#include <QStringList>

namespace tarn {

// The order the file manager shows names in: letter case ignored, accented letters with their
// base letter ("élan" before "zeta"), runs of digits compared by their numeric value
// ("folder9" before "folder10"), the same whatever the process locale.
// Returns a negative number, zero or a positive number.
int localizedStandardCompare(const QString& a, const QString& b);

inline bool localizedStandardLess(const QString& a, const QString& b) {
    return localizedStandardCompare(a, b) < 0;
}

} // namespace tarn
