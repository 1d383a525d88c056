#include "MenuOutline.h"

#include "menu/FolderReader.h"
#include "menu/LazyMenu.h"
#include "menu/MenuStyle.h"

#include <QTest>

namespace tarn::test {

namespace {
QString titleOf(const QAction* item) {
    if (const auto styled = MenuStyle::titleOf(item)) return styled->title;
    return QString(item->text()).replace("&&", "&");
}
} // namespace

QString describe(const QAction* item) {
    if (item->isSeparator()) return QStringLiteral("-");
    const bool isHeader = item->property("isSectionHeader").toBool();
    QString line = titleOf(item);
    if (const auto styled = MenuStyle::titleOf(item); styled && styled->info) line += " [" + styled->info->text + "]";
    if (isHeader) line = "# " + line;
    if (item->isCheckable() && item->isChecked()) line = "[x] " + line;
    if (!item->isEnabled() && !isHeader) line += " (off)";
    if (item->menu()) line += " >";
    return line;
}

QStringList outline(const QList<QAction*>& items) {
    QStringList lines;
    for (const QAction* item : items)
        if (item->isVisible()) lines << describe(item);
    return lines;
}

QList<QAction*> openSubmenu(QAction* item) {
    auto* lazy = qobject_cast<LazyMenu*>(item->menu());
    if (!lazy) return item->menu()->actions();
    Q_EMIT lazy->aboutToShow();
    // A folder's listing is read in the background: wait for it, and show it.
    if (auto* reader = lazy->findChild<FolderReader*>(); reader && !reader->latest()) {
        if (QTest::qWaitFor([reader] { return reader->latest().has_value(); }, 5000)) lazy->rebuild();
    }
    return lazy->actions();
}

QAction* findRow(const QList<QAction*>& items, const QString& title) {
    for (QAction* item : items)
        if (item->isVisible() && titleOf(item) == title) return item;
    return nullptr;
}

} // namespace tarn::test
