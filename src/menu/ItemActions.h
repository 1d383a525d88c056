#pragma once

#include "model/Entry.h"

#include <QAction>
#include <QList>

namespace tarn::ItemActions {

// The action submenu of an entry (its alternate item, shown with Alt, and Quick Open's
// actions): open it in various ways, reveal, copy, git, favorites, workspaces, trash.
QList<QAction*> items(const Entry& entry);

// Add or remove the favorite, and "Add to Group".
QList<QAction*> favoriteItems(const Entry& entry);

} // namespace tarn::ItemActions
