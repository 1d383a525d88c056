#pragma once

#include <functional>

namespace tarn {

// System-wide key combinations, given as the preset table has them (a macOS virtual key code
// and Carbon modifier mask), mapped to the desktop's own keys.
class GlobalHotkeys {
public:
    virtual ~GlobalHotkeys() = default;

    // Binds number `id` to the combination; false when another application holds it.
    virtual bool grab(int id, int keyCode, int carbonModifiers) = 0;
    // Releases number `id`, if bound.
    virtual void release(int id) = 0;

    // Called on the GUI thread with the number of a pressed combination.
    std::function<void(int id)> pressed;
};

} // namespace tarn
