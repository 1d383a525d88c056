#include "menu/LazyMenu.h"

#include "menu/MenuItemAccessible.h"
#include "menu/MenuProxyStyle.h"
#include "platform/VisibleText.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSet>
#include <QSignalBlocker>
#include <QStyleOptionMenuItem>
#include <QToolTip>

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

// The enabled item of `menu`'s tree (its submenus as they are now) that shows `key`.
QAction* itemWithKey(const QMenu* menu, const QKeySequence& key, QSet<const QMenu*>& seen) {
    if (!menu || seen.contains(menu)) return nullptr;
    seen.insert(menu);
    for (QAction* item : menu->actions()) {
        if (item->isEnabled() && !item->shortcut().isEmpty() && item->shortcut() == key) return item;
        if (QAction* inside = itemWithKey(item->menu(), key, seen)) return inside;
    }
    return nullptr;
}

// Whether two items show the same row: a rebuilt menu recognises the row the user is on.
bool sameRow(const QAction* a, const QAction* b) {
    return a->text() == b->text() && a->toolTip() == b->toolTip() && a->isSeparator() == b->isSeparator() &&
           LazyMenu::isAlternate(a) == LazyMenu::isAlternate(b);
}

// Gives `kept` what `fresh` shows, so that a row kept across a rebuild shows the new state.
void takeLook(QAction* kept, const QAction* fresh) {
    kept->setIcon(fresh->icon());
    kept->setEnabled(fresh->isEnabled());
    kept->setCheckable(fresh->isCheckable());
    kept->setChecked(fresh->isChecked());
    for (const QByteArray& name : fresh->dynamicPropertyNames()) kept->setProperty(name, fresh->property(name));
}
} // namespace

LazyMenu::LazyMenu(const QString& title, Build build, QWidget* parent)
    : QMenu(title, parent), build(std::move(build)) {
    MenuItemAccessible::install();
    setStyle(MenuProxyStyle::shared());
    setToolTipsVisible(true);
    addAction(disabledItem(QStringLiteral("Loading\u2026"), this));
    connect(this, &QMenu::aboutToShow, this, &LazyMenu::rebuild);
    altWatch.setInterval(150);
    connect(&altWatch, &QTimer::timeout, this, [this] {
        if (!isVisible())
            altWatch.stop();
        else if (!(QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier))
            showAlternatesInOpenMenus(false);
    });
}

LazyMenu* LazyMenu::holding(const QString& title, const QList<QAction*>& items) {
    auto* menu = new LazyMenu(title, nullptr);
    disconnect(menu, &QMenu::aboutToShow, menu, &LazyMenu::rebuild);
    connect(menu, &QMenu::aboutToShow, menu, &LazyMenu::followAltKey);
    menu->replaceItems(items);
    return menu;
}

void LazyMenu::rebuild() { replaceItems(build ? build() : QList<QAction*>{}); }

void LazyMenu::replaceItems(QList<QAction*> items) {
    if (items.isEmpty()) items << disabledItem(QStringLiteral("Empty"), this);
    // The highlighted row, when the new items still show it, stays the same item: replacing it
    // would drop the highlight and close the submenu the user is in.
    QAction* kept = activeAction();
    qsizetype keptAt = -1;
    for (qsizetype i = 0; kept && i < items.size() && keptAt < 0; ++i)
        if (sameRow(items[i], kept)) keptAt = i;
    if (keptAt >= 0) {
        takeLook(kept, items[keptAt]);
        delete items[keptAt];
        items[keptAt] = kept;
    }
    ++holdingLayout;
    for (QAction* old : actions()) {
        if (keptAt >= 0 && old == kept) continue;
        removeAction(old);
        // As clear() does: the items this menu owns go, and with them their submenus; once the
        // new ones are shown, which is what the user waits for.
        if (old->parent() == this && old->associatedObjects().isEmpty()) old->deleteLater();
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i == keptAt) continue;
        if (!items[i]->parent()) items[i]->setParent(this);
        insertAction(i < keptAt ? kept : nullptr, items[i]);
    }
    followAltKey();
    --holdingLayout;
    relayout();
}

QSize LazyMenu::sizeHint() const { return holdingLayout ? size() : QMenu::sizeHint(); }

// A row's tooltip (a path, a link, a branch) is shown as written, never as markup.
bool LazyMenu::event(QEvent* event) {
    if (event->type() == QEvent::Show) keepClearOfOpeningRow(); // before it is mapped
    if (event->type() != QEvent::ToolTip) return QMenu::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    QAction* item = actionAt(help->pos());
    // A row without a tooltip of its own answers its text, which is not shown.
    if (item && item->toolTip() != QAction(item->text()).toolTip())
        QToolTip::showText(help->globalPos(), plainToolTip(item->toolTip()), this, actionGeometry(item));
    else
        QToolTip::hideText();
    return true;
}

void LazyMenu::keepClearOfOpeningRow() {
    // While a submenu is being shown, the menu it opens from is still the active popup.
    auto* opener = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!opener || opener == this || !opener->activeAction() || opener->activeAction()->menu() != this) return;
    const QRect local = opener->actionGeometry(opener->activeAction());
    const QRect row(opener->mapToGlobal(local.topLeft()), local.size());
    const QScreen* screen = opener->screen();
    if (!screen) return;
    const QPoint clear = clearOfRow(pos(), size(), row, screen->availableGeometry());
    if (clear != pos()) move(clear);
}

QPoint LazyMenu::clearOfRow(QPoint placed, QSize size, const QRect& row, const QRect& screen) {
    // Styles overlap a submenu's frame with its menu's by a pixel or two; that covers nothing.
    if ((QRect(placed, size) & row).width() <= 2) return placed;
    const int below = row.bottom() + 1, above = row.top() - size.height();
    if (below + size.height() <= screen.bottom() + 1) return {placed.x(), below};
    if (above >= screen.top()) return {placed.x(), above};
    // Taller than the room on either side: the side with more room, as far as the screen goes.
    return {placed.x(), screen.bottom() - row.bottom() >= row.top() - screen.top() ? below : screen.top()};
}

void LazyMenu::actionEvent(QActionEvent* event) {
    if (!isVisible()) {
        QMenu::actionEvent(event);
        return;
    }
    ++holdingLayout;
    QMenu::actionEvent(event);
    --holdingLayout;
    // Changes outside a rebuild (git statuses retitling rows) are laid out once per turn of
    // the event loop, however many rows changed.
    if (holdingLayout == 0 && !relayoutPending) {
        relayoutPending = true;
        QMetaObject::invokeMethod(this, [this] { relayout(); }, Qt::QueuedConnection);
    }
}

void LazyMenu::relayout() {
    relayoutPending = false;
    if (holdingLayout || !isVisible()) return;
    // As when it pops up: a menu taller than its screen keeps the screen's height, and scrolls.
    const QRect screenArea = screen()->availableGeometry();
    const bool fitted = height() < screenArea.height();
    QRect frame(pos(), sizeHint());
    const bool scrolls = frame.height() > screenArea.height();
    frame.setHeight(std::min(frame.height(), screenArea.height()));
    if (frame.bottom() > screenArea.bottom()) frame.moveBottom(screenArea.bottom());
    setGeometry(frame);
    // A menu that outgrows the screen while open must start scrolling, which Qt sets up only
    // when a menu pops up: pop it up again where it is, quietly (not a new showing).
    if (fitted && scrolls) {
        const QSignalBlocker quiet(this);
        popup(pos());
    }
    update();
}

// A menu that opens while Alt is already held (the menu hotkey has it) starts with its
// alternates, and watches for the release, which may come before the menu has the keyboard.
void LazyMenu::followAltKey() {
    alternatesShown = !(QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier);
    showAlternates(!alternatesShown);
    if (alternatesShown) altWatch.start();
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
    if (!shown) altWatch.stop();
    // Each alternate takes its primary's place; the highlight stays on that place. The item
    // whose submenu the user is in stays as it is, so that the submenu stays open (and swaps
    // its own items): a folder's contents, or an entry's actions entered with Alt held.
    QAction* active = activeAction();
    const bool inSubmenu = active && active->menu() && active->menu()->isVisible() &&
                           (!isAlternate(active) || active->menu()->activeAction());
    QAction* keep = inSubmenu ? active : nullptr;
    QAction* stayActive = nullptr;
    ++holdingLayout;
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
    --holdingLayout;
    relayout();
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
    if (triggerKey(event)) return;
    QMenu::keyPressEvent(event);
}

bool LazyMenu::triggerKey(QKeyEvent* event) {
    const Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (!(event->modifiers() & chord) || (event->key() >= Qt::Key_Shift && event->key() <= Qt::Key_Alt)) return false;
    const QKeySequence key(event->keyCombination());
    QSet<const QMenu*> seen;
    QAction* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* menu = qobject_cast<LazyMenu*>(widget);
        if (menu && menu->isVisible() && (found = itemWithKey(menu, key, seen))) break;
    }
    if (!found) return false;
    // As choosing the row would: the menus close first, then the item fires.
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    found->trigger();
    event->accept();
    return true;
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
