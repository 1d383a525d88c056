#pragma once

#include "platform/Platform.h"
#include "platform/linux/JsonDefaultsDomain.h"
#include "platform/linux/LinuxApplications.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/LinuxDialogs.h"
#include "platform/linux/LinuxStatusItem.h"
#include "platform/linux/LinuxVolumes.h"
#include "platform/linux/GnomeKeybindings.h"
#include "platform/linux/PortalGlobalHotkeys.h"
#include "platform/linux/X11GlobalHotkeys.h"

#include <memory>
#include "platform/linux/X11WindowTitles.h"

namespace tarn {

class LinuxPlatform : public Platform {
public:
    LinuxPlatform();

    DefaultsDomain& defaults() override { return defaultsDomain; }
    Dialogs& dialogs() override { return dialogBoxes; }
    const Applications& applications() override { return installedApplications; }
    const WindowTitles& windowTitles() override { return x11Windows; }
    Desktop& desktop() override { return desktopHandlers; }
    Volumes& volumes() override { return mountedVolumes; }
    // X11 grabs; on Wayland the desktop portal's shortcuts.
    GlobalHotkeys& hotkeys() override;
    StatusItem& statusItem() override;

private:
    JsonDefaultsDomain defaultsDomain;
    LinuxDialogs dialogBoxes;
    LinuxApplications installedApplications;
    X11WindowTitles x11Windows;
    LinuxDesktop desktopHandlers;
    LinuxVolumes mountedVolumes;
    X11GlobalHotkeys x11Hotkeys;
    std::unique_ptr<GlobalHotkeys> waylandHotkeys; // the portal's, or GNOME's custom shortcuts
    std::unique_ptr<LinuxStatusItem> status;
};

} // namespace tarn
