#pragma once

#include <QUrl>

namespace tarn {

// The desktop's handlers for locations.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Opens `url` with its default handler; false when nothing could open it.
    virtual bool openURL(const QUrl& url) = 0;
};

} // namespace tarn
