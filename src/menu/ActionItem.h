#pragma once

#include <QAction>
#include <functional>

namespace tarn {

// A menu item that carries its own action.
class ActionItem : public QAction {
    Q_OBJECT
public:
    // `keyEquivalent` is shown beside the title ("" for none).
    ActionItem(const QString& title, const QString& keyEquivalent, std::function<void()> handler,
               QObject* parent = nullptr);

    // Counts every firing of any ActionItem since launch, before its handler runs; the Quick
    // Open panel compares it around a pop-up menu to learn whether something was chosen.
    static qint64 fireCount;

    // What choosing the item does: counts, then runs the handler once.
    void fire();

private:
    std::function<void()> handler;
};

} // namespace tarn
