#include "platform/Platform.h"

#include "platform/linux/LinuxPlatform.h"

#include <atomic>
#include <mutex>

namespace tarn {

namespace {
std::atomic<Platform*> installed{nullptr};

// Made at the first use, from any thread, and ended by releasePlatform. Never a static object:
// one would be destroyed after the application object, deleting windows Qt no longer knows.
std::mutex making;
std::atomic<LinuxPlatform*> made{nullptr};
} // namespace

Platform& platform() {
    if (Platform* replacement = installed.load()) return *replacement;
    if (LinuxPlatform* existing = made.load(std::memory_order_acquire)) return *existing;
    const std::lock_guard lock(making);
    if (!made.load()) made.store(new LinuxPlatform);
    return *made.load();
}

void setPlatform(Platform* replacement) { installed.store(replacement); }

void releasePlatform() {
    const std::lock_guard lock(making);
    delete made.exchange(nullptr);
}

} // namespace tarn
