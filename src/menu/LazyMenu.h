#pragma once

#include <QList>
#include <QMenu>
#include <QTimer>
#include <functional>

namespace tarn {

// A menu whose items are made by `build` every time it is about to open: nothing is kept
// between openings. The keys shown on its rows work while it is open. It also shows each entry's alternate item in place of its primary while
// Alt is held (the alternate follows its primary and carries the property "isAlternate").
class LazyMenu : public QMenu {
    Q_OBJECT
public:
    using Build = std::function<QList<QAction*>()>;

    // Shows a disabled "Loading…" until its first opening.
    LazyMenu(const QString& title, Build build, QWidget* parent = nullptr);

    // A plain menu of the given items, made now and kept (it does not rebuild), with the same
    // alternates and titles as the others.
    static LazyMenu* holding(const QString& title, const QList<QAction*>& items);

    void setBuild(Build replacement) { build = std::move(replacement); }

    // Replaces the items with what `build` returns now; a disabled "Empty" when nothing. In an
    // open menu the row the user is on stays highlighted, and its submenu stays open.
    void rebuild();

    // Makes `submenu` the submenu of `item`, deleted with the item.
    static void attach(QAction* item, QMenu* submenu);

    // Like attach, with the submenu made by `make` only when the item is first shown: the
    // alternates of a menu of a thousand entries are rarely all needed.
    static void attachLater(QAction* item, std::function<QMenu*()> make);
    // Makes the submenu of an item given to attachLater, if not made yet.
    static void ensureSubmenu(QAction* item);

    // Marks `item` as the alternate of the item before it.
    static void makeAlternate(QAction* item);
    static bool isAlternate(const QAction* item);

    bool showsAlternates() const { return alternatesShown; }

    QSize sizeHint() const override;

    // Where a submenu of `size`, placed by Qt at `placed`, goes so that it does not cover `row`,
    // the row it opened from: below the row, else above it; where it was when it covers nothing.
    static QPoint clearOfRow(QPoint placed, QSize size, const QRect& row, const QRect& screen);

protected:
    bool event(QEvent* event) override;
    void actionEvent(QActionEvent* event) override;
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // The key shown on a row of an open menu (Ctrl+Q, Ctrl+N), or on a row of one of its
    // submenus as made so far, triggers that row; true when one did.
    bool triggerKey(QKeyEvent* event);
    void replaceItems(QList<QAction*> items);
    void relayout();
    // Qt puts a submenu that fits on neither side of its menu over the menu, row and all.
    void keepClearOfOpeningRow();
    void followAltKey();
    void showAlternates(bool shown);
    static void showAlternatesInOpenMenus(bool shown);

    Build build;
    bool alternatesShown = false;
    // While alternates shown at opening are shown, whether Alt is still held: its release may
    // never reach the menu (let go before the menu took the keyboard).
    QTimer altWatch;
    // While set, an open menu keeps its size as items change: Qt would lay the whole menu out
    // again for each item, which makes changing N rows cost N² (seconds with a thousand rows).
    int holdingLayout = 0;
    bool relayoutPending = false;
};

} // namespace tarn
