#pragma once

namespace tarn {

class Applications;
class DefaultsDomain;
class Desktop;
class Dialogs;
class GlobalHotkeys;
class StatusItem;
class Volumes;
class WindowTitles;

// The operating-system services Tarn uses that Qt does not give. Everything reaches them
// through platform(), so tests can put their own doubles in place.
class Platform {
public:
    virtual ~Platform() = default;

    virtual DefaultsDomain& defaults() = 0;
    virtual Dialogs& dialogs() = 0;
    virtual const Applications& applications() = 0;
    virtual const WindowTitles& windowTitles() = 0;
    virtual Desktop& desktop() = 0;
    virtual Volumes& volumes() = 0;
    virtual GlobalHotkeys& hotkeys() = 0;
    // Made at the first call, which needs the application object.
    virtual StatusItem& statusItem() = 0;
};

// The platform in use: the one installed with setPlatform, else the real one.
Platform& platform();

// Replaces the platform (tests); nullptr goes back to the real one. Not owned.
void setPlatform(Platform* replacement);

// Ends the real platform, if made, while the application object still exists: its hotkeys own
// a window and a connection to the display, which must not outlive it. Called once the event
// loop has ended; nothing of the platform is kept for the exit.
void releasePlatform();

} // namespace tarn
