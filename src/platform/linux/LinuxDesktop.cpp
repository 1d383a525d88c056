#include "platform/linux/LinuxDesktop.h"

#include <QDesktopServices>

namespace tarn {

bool LinuxDesktop::openURL(const QUrl& url) { return QDesktopServices::openUrl(url); }

} // namespace tarn
