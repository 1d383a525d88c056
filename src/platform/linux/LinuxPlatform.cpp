#include "platform/linux/LinuxPlatform.h"

namespace tarn {

LinuxPlatform::LinuxPlatform() : defaultsDomain(JsonDefaultsDomain::standardPath()) {}

} // namespace tarn
