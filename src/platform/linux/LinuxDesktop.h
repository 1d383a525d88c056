#pragma once

#include "platform/Desktop.h"

namespace tarn {

// Opens locations through the desktop's own handlers (xdg-open and friends, via Qt).
class LinuxDesktop : public Desktop {
public:
    bool openURL(const QUrl& url) override;
};

} // namespace tarn
