#pragma once

#include <QStringList>

namespace tarn {

// Reads the titles of other applications' windows.
class WindowTitles {
public:
    virtual ~WindowTitles() = default;

    // Whether Tarn may read other applications' windows at all.
    virtual bool isTrusted() const = 0;

    // The titles of the windows of the running applications with these bundle identifiers; each
    // request to the window system is bounded, and what does not answer in time is left out.
    virtual QStringList titles(const QStringList& bundleIDs) const = 0;
};

} // namespace tarn
