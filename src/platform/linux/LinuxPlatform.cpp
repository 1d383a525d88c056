#include "platform/linux/LinuxPlatform.h"

#include <QGuiApplication>

namespace tarn {

LinuxPlatform::LinuxPlatform() : defaultsDomain(JsonDefaultsDomain::standardPath()) {}

GlobalHotkeys& LinuxPlatform::hotkeys() {
    if (QGuiApplication::platformName() != QLatin1String("wayland")) return x11Hotkeys;
    if (!waylandHotkeys) {
        // GNOME before its portal binds keys only in its own settings; Tarn can write them there.
        auto portal = std::make_unique<PortalGlobalHotkeys>();
        if (!portal->canBind() && GnomeKeybindings::available())
            waylandHotkeys = std::make_unique<GnomeKeybindings>();
        else
            waylandHotkeys = std::move(portal);
    }
    return *waylandHotkeys;
}

StatusItem& LinuxPlatform::statusItem() {
    if (!status) status = std::make_unique<LinuxStatusItem>();
    return *status;
}

} // namespace tarn
