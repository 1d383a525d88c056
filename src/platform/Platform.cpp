#include "platform/Platform.h"

#include "platform/linux/LinuxPlatform.h"

#include <atomic>

namespace tarn {

namespace {
std::atomic<Platform*> installed{nullptr};
}

Platform& platform() {
    if (Platform* replacement = installed.load()) return *replacement;
    static LinuxPlatform real;
    return real;
}

void setPlatform(Platform* replacement) { installed.store(replacement); }

} // namespace tarn
