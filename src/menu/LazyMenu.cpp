#include "menu/LazyMenu.h"

#include "menu/MenuProxyStyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleOptionMenuItem>

namespace tarn {

namespace {
const char alternateProperty[] = "isAlternate";

// Holds, as a child of its item, how to make the item's submenu.
class SubmenuMaker : public QObject {
public:
    SubmenuMaker(QAction* item, std::function<QMenu*()> make) : QObject(item), make(std::move(make)) {}
    std::function<QMenu*()> make;
};

QAction* disabledItem(const QString& title, QObject* parent) {
    auto* item = new QAction(title, parent);
    item->setEnabled(false);
    return item;
}

bool isAltKey(int key) { return key == Qt::Key_Alt || key == Qt::Key_AltGr; }
} // namespace

LazyMenu::LazyMenu(const QString& title, Build build, QWidget* parent)
    : QMenu(title, parent), build(std::move(build)) {
    setStyle(MenuProxyStyle::shared());
    setToolTipsVisible(true);
    addAction(disabledItem(QStringLiteral("Loading\u2026"), this));
    connect(this, &QMenu::aboutToShow, this, &LazyMenu::rebuild);
}

LazyMenu* LazyMenu::holding(const QString& title, const QList<QAction*>& items) {
    auto* menu = new LazyMenu(title, nullptr);
    disconnect(menu, &QMenu::aboutToShow, menu, &LazyMenu::rebuild);
    connect(menu, &QMenu::aboutToShow, menu, &LazyMenu::followAltKey);
    menu->clear();
    menu->addItems(items);
    return menu;
}

void LazyMenu::rebuild() {
    clear(); // deletes the items this menu owns, and with them their submenus
    addItems(build ? build() : QList<QAction*>{});
}

void LazyMenu::addItems(QList<QAction*> items) {
    if (items.isEmpty()) items << disabledItem(QStringLiteral("Empty"), this);
    for (QAction* item : items) {
        if (!item->parent()) item->setParent(this);
        addAction(item);
    }
    followAltKey();
}

// A menu that opens while Alt is already held starts with its alternates.
void LazyMenu::followAltKey() {
    alternatesShown = !(QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier);
    showAlternates(!alternatesShown);
}

void LazyMenu::attach(QAction* item, QMenu* submenu) {
    item->setMenu(submenu);
    connect(item, &QObject::destroyed, submenu, &QObject::deleteLater);
}

void LazyMenu::attachLater(QAction* item, std::function<QMenu*()> make) {
    new SubmenuMaker(item, std::move(make));
}

void LazyMenu::ensureSubmenu(QAction* item) {
    if (item->menu()) return;
    if (auto* maker = item->findChild<SubmenuMaker*>(QString(), Qt::FindDirectChildrenOnly)) {
        attach(item, maker->make());
        delete maker;
    }
}

void LazyMenu::makeAlternate(QAction* item) { item->setProperty(alternateProperty, true); }

bool LazyMenu::isAlternate(const QAction* item) { return item->property(alternateProperty).toBool(); }

void LazyMenu::showAlternates(bool shown) {
    if (alternatesShown == shown) return;
    alternatesShown = shown;
    // Each alternate takes its primary's place; the highlight stays on that place. The item
    // whose submenu the user is in stays as it is, so that the submenu stays open (and swaps
    // its own items): a folder's contents, or an entry's actions entered with Alt held.
    QAction* active = activeAction();
    const bool inSubmenu = active && active->menu() && active->menu()->isVisible() &&
                           (!isAlternate(active) || active->menu()->activeAction());
    QAction* keep = inSubmenu ? active : nullptr;
    QAction* stayActive = nullptr;
    const QList<QAction*> items = actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!isAlternate(items[i])) continue;
        QAction* alternate = items[i];
        QAction* primary = i > 0 ? items[i - 1] : nullptr;
        if (keep && (keep == alternate || keep == primary)) continue;
        if (shown) ensureSubmenu(alternate);
        if (primary) primary->setVisible(!shown);
        alternate->setVisible(shown);
        if (active && active == (shown ? primary : alternate)) stayActive = shown ? alternate : primary;
    }
    if (stayActive) setActiveAction(stayActive);
}

void LazyMenu::showAlternatesInOpenMenus(bool shown) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* menu = qobject_cast<LazyMenu*>(widget);
        if (menu && menu->isVisible()) menu->showAlternates(shown);
    }
}

void LazyMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    // MenuProxyStyle finds the item's styled title through it.
    option->styleObject = const_cast<QAction*>(action);
}

void LazyMenu::keyPressEvent(QKeyEvent* event) {
    // Alt only swaps the alternates in: it neither closes the menu nor moves the highlight.
    if (isAltKey(event->key())) {
        if (!event->isAutoRepeat()) showAlternatesInOpenMenus(true);
        event->accept();
        return;
    }
    // No mnemonics: a letter typed with Alt held does nothing.
    if ((event->modifiers() & Qt::AltModifier) && !event->text().isEmpty() &&
        event->text().at(0).isPrint()) {
        event->accept();
        return;
    }
    QMenu::keyPressEvent(event);
}

void LazyMenu::keyReleaseEvent(QKeyEvent* event) {
    if (isAltKey(event->key())) {
        if (!event->isAutoRepeat()) showAlternatesInOpenMenus(false);
        event->accept();
        return;
    }
    QMenu::keyReleaseEvent(event);
}

} // namespace tarn
