#include "menu/ActionItem.h"

#include "menu/MenuStyle.h"

namespace tarn {

qint64 ActionItem::fireCount = 0;

ActionItem::ActionItem(const QString& title, const QString& keyEquivalent,
                       std::function<void()> handler, QObject* parent)
    : QAction(MenuStyle::plainText(title), parent), handler(std::move(handler)) {
    if (!keyEquivalent.isEmpty()) setShortcut(QKeySequence(keyEquivalent));
    connect(this, &QAction::triggered, this, &ActionItem::fire);
}

void ActionItem::fire() {
    ++fireCount;
    if (handler) handler();
}

} // namespace tarn
