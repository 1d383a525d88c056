#include "menu/FolderReader.h"

#include "discovery/BlockingPool.h"
#include "library/Library.h"
#include "menu/LazyMenu.h"

namespace tarn {

FolderReader::FolderReader(const QUrl& folder, const FolderOptions& options, LazyMenu* menu,
                           const std::optional<MenuItems::Listing>& known)
    : QObject(menu), folder(folder), options(options), menu(menu),
      read(known ? known : Library::shared().listingOf(folder.toLocalFile(), options)) {}

void FolderReader::start() {
    if (reading) return;
    reading = true;
    QPointer<FolderReader> self(this);
    runInBackground(TaskPriority::userInitiated, [self, folder = folder, options = options]() mutable {
        const MenuItems::Listing listing = MenuItems::shownListing(folder, options);
        runOnMainThread([self = std::move(self), listing] {
            if (self) self->arrived(listing);
        });
    });
}

void FolderReader::arrived(const MenuItems::Listing& listing) {
    reading = false;
    if (read == listing) return;
    read = listing;
    Library::shared().rememberListing(folder.toLocalFile(), options, listing);
    // Shown or not: a panel that draws the menu itself shows what it was sent.
    if (menu) menu->rebuild();
}

} // namespace tarn
