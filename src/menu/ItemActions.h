#pragma once

#include "model/Entry.h"

#include <QAction>
#include <QList>

namespace tarn::ItemActions {

// The action submenu of an entry (the alternate item shown with Alt). Not built yet: it lists
// nothing, so the submenu shows "Empty", until the item-actions work fills it.
QList<QAction*> items(const Entry& entry);

} // namespace tarn::ItemActions
