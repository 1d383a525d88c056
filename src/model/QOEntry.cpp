#include "model/QOEntry.h"

namespace tarn {

QString QOEntry::id() const {
    if (entry.shortcutID) return "shortcut:" + *entry.shortcutID;
    if (entry.url.isLocalFile()) return entry.url.toLocalFile();
    return entry.url.toString();
}

} // namespace tarn
