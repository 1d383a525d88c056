#include "platform/Dialogs.h"

namespace tarn {

void Dialogs::warn(const QString& message, const QString& informative) {
    activate();
    showWarning(message, informative.left(2000));
}

} // namespace tarn
