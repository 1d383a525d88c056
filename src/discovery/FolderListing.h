#pragma once

#include "model/PinnedFolder.h"

#include <QList>
#include <QUrl>

// The children of a folder, read and ordered as a pinned folder's options ask. The menu shows
// them (its folder submenus) and the library reads them for Quick Open.
namespace tarn::FolderListing {

// One child of a listed folder.
struct Listed {
    QUrl url;
    bool isFolder = false;
    bool operator==(const Listed&) const = default;
};

// A folder's first children in order, and how many children it has in all.
struct Listing {
    QList<Listed> first;
    qsizetype total = 0;
    bool operator==(const Listing&) const = default;
};

// The folder's children in the order `options` asks for; empty when it cannot be read.
QList<Listed> listing(const QUrl& folder, const FolderOptions& options);

// The same, of which only what a menu shows is made: the first `options.itemLimit` children
// (every child is still read and ordered), and the count. A folder of 200 000 files costs
// little more than reading its names. Safe on any thread.
Listing shownListing(const QUrl& folder, const FolderOptions& options);

} // namespace tarn::FolderListing
