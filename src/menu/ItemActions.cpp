#include "menu/ItemActions.h"

namespace tarn::ItemActions {

QList<QAction*> items(const Entry&) { return {}; }

} // namespace tarn::ItemActions
