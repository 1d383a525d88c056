// The settings file is the user's to edit, and older or newer versions of Tarn write it too.
// Every setting is read through the store as Tarn reads it; each list that decodes must come
// back the same after being written.

#include "FuzzCheck.h"
#include "model/JsonReader.h"
#include "model/Store.h"
#include "platform/linux/LinuxPlatform.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <memory>

using namespace tarn;

namespace {

// The real platform, with a settings file of its own for each input: a fresh domain has no
// cached copy of the previous input.
class SettingsPlatform : public LinuxPlatform {
public:
    DefaultsDomain& defaults() override { return *domain; }

    void load(const QByteArray& contents) {
        const QString path = folder.filePath("defaults.json");
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(contents) == contents.size());
        file.close();
        domain = std::make_unique<JsonDefaultsDomain>(path);
    }

private:
    QTemporaryDir folder;
    std::unique_ptr<JsonDefaultsDomain> domain;
};

template <typename T> void checkRoundTrip(const char* key) {
    const std::optional<QByteArray> stored = platform().defaults().data(key);
    if (!stored) return;
    const std::optional<QList<T>> decoded = decodeList<T>(*stored);
    if (!decoded) return;
    FUZZ_CHECK(decodeList<T>(encodeList(*decoded)) == decoded);
}

void readEverything(const QByteArray& contents) {
    const Store& store = Store::shared();
    store.pinnedFolders();
    store.favorites();
    store.shortcutFolders();
    store.shortcutFolderModes();
    store.boolean(Keys::showGitStatus, true);
    const QList<FavoriteGroup> groups = store.groups();
    FUZZ_CHECK(groups.size() <= contents.size());
    FUZZ_CHECK(store.sections().size() == qsizetype(allCases<SectionID>().size()));

    checkRoundTrip<PinnedFolder>(Keys::pinnedFolders);
    checkRoundTrip<Favorite>(Keys::favorites);
    checkRoundTrip<FavoriteGroup>(Keys::favoriteGroups);
    checkRoundTrip<ShortcutFolder>(Keys::shortcutFolders);
    checkRoundTrip<SectionConfig>(Keys::sections);

    // Whatever the file holds under a key, the domain says it is there.
    const QJsonDocument document = QJsonDocument::fromJson(contents);
    const DefaultsDomain& domain = platform().defaults();
    for (const QString& key : document.object().keys()) {
        FUZZ_CHECK(domain.contains(key));
        domain.object(key);
        domain.stringArray(key);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SettingsPlatform* settings = [] {
        auto* made = new SettingsPlatform;
        setPlatform(made);
        return made;
    }();
    const QByteArray contents = fuzz::bytes(data, size);
    settings->load(contents);
    readEverything(contents);
    return 0;
}
