#pragma once

#include "model/Entry.h"

#include <QString>

namespace tarn {

// One Quick Open candidate: what opens, and a kind label with its location.
struct QOEntry {
    Entry entry;
    QString detail;

    bool operator==(const QOEntry&) const = default;

    // Keeps rows stable across searches: the shortcut, else the path, else the address.
    QString id() const;
};

} // namespace tarn
