#include "menu/MenuHost.h"

namespace tarn {

namespace {
MenuHost* currentHost = nullptr;
}

MenuHost::MenuHost() { currentHost = this; }

MenuHost::~MenuHost() {
    if (currentHost == this) currentHost = nullptr;
}

MenuHost* MenuHost::current() { return currentHost; }

} // namespace tarn
