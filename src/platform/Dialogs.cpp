#include "platform/Dialogs.h"

#include "platform/VisibleText.h"

namespace tarn {

void Dialogs::warn(const QString& message, const QString& informative) {
    activate();
    showWarning(visibleText(message), visibleText(informative.left(2000)));
}

} // namespace tarn
