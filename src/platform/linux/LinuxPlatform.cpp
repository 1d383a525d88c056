#include "platform/linux/LinuxPlatform.h"

#include <QGuiApplication>

namespace tarn {

LinuxPlatform::LinuxPlatform() : defaultsDomain(JsonDefaultsDomain::standardPath()) {}

GlobalHotkeys& LinuxPlatform::hotkeys() {
    if (QGuiApplication::platformName() != QLatin1String("wayland")) return x11Hotkeys;
    if (!portalHotkeys) portalHotkeys = std::make_unique<PortalGlobalHotkeys>();
    return *portalHotkeys;
}

StatusItem& LinuxPlatform::statusItem() {
    if (!status) status = std::make_unique<LinuxStatusItem>();
    return *status;
}

} // namespace tarn
