// The workspace.json an editor keeps for every workspace it opened.

#include "FuzzCheck.h"
#include "discovery/Recents.h"

using namespace tarn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<QUrl> location = Recents::recordedLocation(fuzz::bytes(data, size));
    if (!location) return 0;
    FUZZ_CHECK(location->isValid());
    FUZZ_CHECK(location->scheme() == QLatin1String("file"));

    // What loading does next with a location it keeps.
    const QUrl standardized = standardizedFileURL(*location);
    FUZZ_CHECK(standardized.isLocalFile());
    FUZZ_CHECK(standardized.toLocalFile().startsWith('/'));
    const Entry entry = Entry::classify(standardized);
    const QList<Entry> entries = Entry::disambiguated({entry, entry});
    FUZZ_CHECK(entries.size() == 2);
    return 0;
}
