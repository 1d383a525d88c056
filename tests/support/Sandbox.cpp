#include "Sandbox.h"

#include "git/GitStore.h"
#include "library/Library.h"

#include <QTest>

namespace tarn::test {

void Sandbox::enter() {
    home = std::make_unique<TempHome>();
    platform = std::make_unique<TestPlatform>();
    GitStore::shared().reset();
    Library::shared().reset();
}

void Sandbox::leave() {
    const Library& library = Library::shared();
    QTRY_VERIFY(GitStore::shared().inFlight().isEmpty());
    QTRY_VERIFY(!library.scanning && !library.loadingRecents && !library.loadingShortcuts &&
                !library.listingFolders);
    Library::shared().reset();
    GitStore::shared().reset();
    platform.reset();
    home.reset();
}

QString Sandbox::installEditor(const QString& id, const QByteArray& script) {
    const QString folder = home->makeFolder("editors/" + id);
    const QString launcher = home->writeScript("editors/" + id + "/bin/code", script);
    platform->fakeApplications.installs.insert(id, {folder, launcher, {}});
    return launcher;
}

} // namespace tarn::test
