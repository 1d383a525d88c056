// Desktop entries come from every installed package and from the user's own files.

#include "FuzzCheck.h"
#include "platform/linux/DesktopEntry.h"

using namespace tarn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<DesktopEntry> entry =
        DesktopEntry::parse(fuzz::bytes(data, size), "/usr/share/applications/fuzz.desktop");
    if (!entry) return 0;
    FUZZ_CHECK(!entry->mimeTypes.contains(QString()));

    const QString program = entry->program();
    if (const std::optional<QString> app = entry->flatpakApp()) {
        FUZZ_CHECK(program.endsWith(QLatin1String("flatpak")));
        FUZZ_CHECK(!app->isEmpty() && !app->startsWith('-'));
    }
    return 0;
}
