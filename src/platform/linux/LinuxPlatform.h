#pragma once

#include "platform/Platform.h"
#include "platform/linux/JsonDefaultsDomain.h"
#include "platform/linux/LinuxApplications.h"
#include "platform/linux/LinuxDialogs.h"

namespace tarn {

class LinuxPlatform : public Platform {
public:
    LinuxPlatform();

    DefaultsDomain& defaults() override { return defaultsDomain; }
    Dialogs& dialogs() override { return dialogBoxes; }
    const Applications& applications() override { return installedApplications; }

private:
    JsonDefaultsDomain defaultsDomain;
    LinuxDialogs dialogBoxes;
    LinuxApplications installedApplications;
};

} // namespace tarn
