#include "menu/MenuItemAccessible.h"

#include "menu/LazyMenu.h"
#include "menu/MenuStyle.h"

#include <QAction>
#include <QMenu>

namespace tarn {

namespace {

QAccessibleInterface* rowOfTarnMenu(const QString&, QObject* object) {
    auto* item = qobject_cast<QAction*>(object);
    if (!item) return nullptr;
    for (QObject* owner : item->associatedObjects())
        if (auto* menu = qobject_cast<LazyMenu*>(owner)) return new MenuItemAccessible(menu, item);
    return nullptr;
}

} // namespace

MenuItemAccessible::MenuItemAccessible(QMenu* menu, QAction* item) : menu(menu), item(item) {}

void MenuItemAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(rowOfTarnMenu);
        return true;
    }();
    (void)installed;
}

bool MenuItemAccessible::isValid() const { return menu && item; }

QObject* MenuItemAccessible::object() const { return item; }

QWindow* MenuItemAccessible::window() const { return menu ? menu->windowHandle() : nullptr; }

bool MenuItemAccessible::isHeader() const { return item && item->property("isSectionHeader").toBool(); }

QAccessibleInterface* MenuItemAccessible::childAt(int x, int y) const {
    QAccessibleInterface* submenu = child(0);
    return submenu && submenu->rect().contains(x, y) ? submenu : nullptr;
}

QAccessibleInterface* MenuItemAccessible::parent() const { return QAccessible::queryAccessibleInterface(menu); }

QAccessibleInterface* MenuItemAccessible::child(int index) const {
    return index == 0 && item && item->menu() ? QAccessible::queryAccessibleInterface(item->menu()) : nullptr;
}

int MenuItemAccessible::childCount() const { return item && item->menu() ? 1 : 0; }

int MenuItemAccessible::indexOfChild(const QAccessibleInterface* child) const {
    return child && item && child->object() == item->menu() ? 0 : -1;
}

QString MenuItemAccessible::text(QAccessible::Text t) const {
    if (!item) return {};
    switch (t) {
    case QAccessible::Name: {
        QString name = item->text();
        return name.replace(QLatin1String("&&"), QLatin1String("&"));
    }
    case QAccessible::Description: {
        QStringList said;
        if (const std::optional<StyledTitle> styled = MenuStyle::titleOf(item)) {
            if (styled->info && !styled->info->text.isEmpty()) said << styled->info->text;
            if (styled->dot.value_or(false)) said << QStringLiteral("open in a window");
        }
        if (!item->toolTip().isEmpty() && item->toolTip() != item->text()) said << item->toolTip();
        return said.join(QStringLiteral(", "));
    }
    case QAccessible::Accelerator: return item->shortcut().toString(QKeySequence::NativeText);
    default: return {};
    }
}

QRect MenuItemAccessible::rect() const {
    if (!isValid()) return {};
    const QRect local = menu->actionGeometry(item);
    return QRect(menu->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::Role MenuItemAccessible::role() const {
    if (!item) return QAccessible::NoRole;
    if (item->isSeparator()) return QAccessible::Separator;
    if (isHeader()) return QAccessible::Heading;
    return QAccessible::MenuItem;
}

QAccessible::State MenuItemAccessible::state() const {
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    s.invisible = !item->isVisible() || !menu->isVisible();
    if (isHeader() || item->isSeparator()) return s; // read as it is, not as an item that is off
    s.disabled = !item->isEnabled();
    s.focusable = item->isEnabled();
    s.focused = s.selected = menu->activeAction() == item;
    s.hotTracked = s.focused;
    s.checkable = item->isCheckable();
    s.checked = item->isChecked();
    s.hasPopup = item->menu() != nullptr;
    return s;
}

void* MenuItemAccessible::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
}

QStringList MenuItemAccessible::actionNames() const {
    if (!item || !item->isEnabled() || isHeader() || item->isSeparator()) return {};
    return {item->menu() ? showMenuAction() : pressAction()};
}

void MenuItemAccessible::doAction(const QString& actionName) {
    if (!isValid() || !actionNames().contains(actionName)) return;
    if (item->menu()) {
        menu->setActiveAction(item);
        return;
    }
    // As choosing the row with the keyboard would.
    menu->setActiveAction(item);
    item->trigger();
    menu->close();
}

QStringList MenuItemAccessible::keyBindingsForAction(const QString&) const {
    if (!item || item->shortcut().isEmpty()) return {};
    return {item->shortcut().toString(QKeySequence::NativeText)};
}

} // namespace tarn
