#include "platform/linux/DBusMenuExporter.h"

#include "platform/VisibleText.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QBuffer>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>

namespace tarn {

namespace {
constexpr int iconSide = 16;

// A row as the same row after its menu was made again: what it reads and whether it opens.
QString keyOf(const QVariantMap& properties) {
    return properties.value(QStringLiteral("type")).toString() + QLatin1Char('\n') +
           properties.value(QStringLiteral("label")).toString() + QLatin1Char('\n') +
           properties.value(QStringLiteral("children-display")).toString();
}
} // namespace

DBusMenuExporter::DBusMenuExporter(const ExportedMenu& exported, QObject* parent)
    : QObject(parent), exported(exported) {
    registerDBusTrayTypes();
    Node root;
    root.submenu = exported.menu;
    root.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    nodes.insert(0, root);
    flushing.setSingleShot(true);
    flushing.setInterval(0);
    connect(&flushing, &QTimer::timeout, this, &DBusMenuExporter::flush);
}

DBusMenuExporter::~DBusMenuExporter() {
    for (auto it = nodeOfMenu.constBegin(); it != nodeOfMenu.constEnd(); ++it)
        const_cast<QObject*>(it.key())->removeEventFilter(this);
}

bool DBusMenuExporter::exportOn(QDBusConnection bus, const QString& path) {
    // Who GNOME Shell is, followed as it comes and goes, so that no opening waits on the bus.
    const QString shell = QStringLiteral("org.gnome.Shell");
    if (QDBusConnectionInterface* daemon = bus.interface()) shellOwner = daemon->serviceOwner(shell).value();
    shellWatcher = std::make_unique<QDBusServiceWatcher>(shell, bus, QDBusServiceWatcher::WatchForOwnerChange);
    connect(shellWatcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { shellOwner = owner; });
    // The top menu and its submenus are ready before the first panel asks.
    open(0);
    changedLayouts.clear();
    updatedProperties.clear();
    removedProperties.clear();
    return bus.registerObject(path, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                              QDBusConnection::ExportAllProperties);
}

QString DBusMenuExporter::escapedLabel(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('_'), QLatin1String("__"));
}

QString DBusMenuExporter::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr");
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuLayout& layout) {
    flush();
    if (!nodes.contains(parentId)) parentId = 0;
    layout = layoutOf(parentId, recursionDepth, propertyNames);
    return revision;
}

DBusMenuItemList DBusMenuExporter::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
    flush();
    DBusMenuItemList found;
    for (int id : ids) {
        const auto node = nodes.constFind(id);
        if (node != nodes.constEnd()) found << DBusMenuItem{id, only(node->properties, propertyNames)};
    }
    return found;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
    flush();
    return QDBusVariant(nodes.value(id).properties.value(name));
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp) {
    (void)data, (void)timestamp;
    const auto node = nodes.constFind(id);
    if (node == nodes.constEnd()) return;
    if (eventId == QLatin1String("clicked")) {
        // After the reply: what the row does may open a dialog of its own.
        if (QPointer<QAction> action = node->action)
            QTimer::singleShot(0, action, [action] { if (action && action->isEnabled()) action->trigger(); });
    } else if (eventId == QLatin1String("opened")) {
        open(id);
    } else if (eventId == QLatin1String("closed")) {
        closed(id);
    }
}

QList<int> DBusMenuExporter::EventGroup(const DBusMenuEventList& events) {
    QList<int> unknown;
    for (const DBusMenuEvent& event : events) {
        if (nodes.contains(event.id)) Event(event.id, event.eventId, event.data, event.timestamp);
        else unknown << event.id;
    }
    return unknown;
}

bool DBusMenuExporter::AboutToShow(int id) { return open(id); }

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    QList<int> updated;
    for (int id : ids) {
        if (!nodes.contains(id)) idErrors << id;
        else if (open(id)) updated << id;
    }
    return updated;
}

// The panel opens the row's submenu: its rows are made, and the submenus of those too. True
// when the panel should read the submenu again: when it changed, and always for a submenu a
// panel other than the Shell opens (Plasma reads a submenu's rows only when told so), never
// while the Shell shows one (it would read everything and close it).
bool DBusMenuExporter::open(int id) {
    if (!nodes.contains(id)) return false;
    const bool shell = id != 0 && callerClosesOnChange();
    if (id == 0) shown.clear(); // a new opening of the whole menu
    else if (shell) shown.insert(id);
    flush();
    fill(id);
    const QList<int> rows = nodes.value(id).children;
    for (int row : rows) {
        if (!nodes.value(row).submenu) continue;
        fill(row);
        const QList<int> below = nodes.value(row).children;
        for (int deeper : below)
            if (nodes.value(deeper).submenu) fill(deeper);
    }
    const bool changed = changedLayouts.contains(id) || updatedProperties.size() + removedProperties.size() > 0;
    flush();
    if (id != 0) return !shell;
    return changed && shown.isEmpty();
}

// Whether the panel asking is GNOME Shell, which closes a shown submenu at any layout change.
bool DBusMenuExporter::callerClosesOnChange() const {
    return calledFromDBus() && !shellOwner.isEmpty() && message().service() == shellOwner;
}

// The panel closed a submenu: what waited for it is sent.
void DBusMenuExporter::closed(int id) {
    if (id == 0) shown.clear();
    else shown.remove(id);
    if (const auto node = nodes.constFind(id); node != nodes.constEnd() && node->submenu)
        Q_EMIT node->submenu->aboutToHide();
    flush();
}

void DBusMenuExporter::fill(int id) {
    if (QMenu* menu = nodes.value(id).submenu) {
        nodes[id].filled = true;
        Q_EMIT menu->aboutToShow(); // made as when it opens on the screen
        sync(id);
    }
}

// Mirrors the rows of node `id`'s menu: a row that reads as one already there keeps its id.
void DBusMenuExporter::sync(int id) {
    dirty.remove(id);
    if (!nodes.contains(id)) return;
    QMenu* menu = nodes.value(id).submenu;
    const QList<int> before = nodes.value(id).children;
    QHash<const QAction*, int> byAction;
    QHash<QString, QList<int>> byKey; // rows not taken yet, in order
    for (int child : before) {
        const Node& node = nodes[child];
        if (node.action) byAction.insert(node.action, child);
        byKey[keyOf(node.properties)] << child;
    }
    QList<int> after;
    QSet<int> taken;
    if (menu) {
        watch(menu, id);
        for (QAction* action : menu->actions()) {
            if (!action->isVisible()) continue;
            const QVariantMap properties = propertiesOf(action);
            int row = byAction.value(action, -1);
            if (row < 0 || taken.contains(row)) {
                row = -1;
                QList<int>& alike = byKey[keyOf(properties)];
                while (!alike.isEmpty() && row < 0) {
                    const int candidate = alike.takeFirst();
                    if (!taken.contains(candidate)) row = candidate;
                }
            }
            if (row < 0) {
                row = nextId++;
                Node fresh;
                fresh.parent = id;
                fresh.properties = properties;
                nodes.insert(row, fresh);
            } else {
                changeProperties(row, properties);
            }
            taken.insert(row);
            Node& node = nodes[row];
            node.action = action;
            QMenu* submenu = action->menu();
            if (node.submenu != submenu) {
                if (node.submenu) nodeOfMenu.remove(node.submenu);
                node.submenu = submenu;
                if (submenu) watch(submenu, row);
                // A submenu made for the panel before is made and mirrored again at once, so
                // that its rows keep their ids and a panel showing it keeps working rows.
                if (node.filled) fill(row);
                else if (node.synced) sync(row);
            }
            after << row;
        }
    }
    for (int child : before)
        if (!taken.contains(child)) forget(child);
    Node& node = nodes[id];
    node.synced = true;
    if (node.children != after) {
        node.children = after;
        changedLayouts.insert(id);
        flushing.start();
    }
}

void DBusMenuExporter::forget(int id) {
    const Node node = nodes.take(id);
    if (node.submenu && nodeOfMenu.value(node.submenu, -1) == id) nodeOfMenu.remove(node.submenu);
    updatedProperties.remove(id);
    removedProperties.remove(id);
    changedLayouts.remove(id);
    dirty.remove(id);
    shown.remove(id);
    for (int child : node.children) forget(child);
}

void DBusMenuExporter::watch(QMenu* menu, int id) {
    if (!nodeOfMenu.contains(menu)) menu->installEventFilter(this);
    nodeOfMenu.insert(menu, id);
}

void DBusMenuExporter::changeProperties(int id, const QVariantMap& properties) {
    Node& node = nodes[id];
    if (node.properties == properties) return;
    QVariantMap updated;
    for (auto it = properties.constBegin(); it != properties.constEnd(); ++it)
        if (node.properties.value(it.key()) != it.value()) updated.insert(it.key(), it.value());
    QStringList removed;
    for (auto it = node.properties.constBegin(); it != node.properties.constEnd(); ++it)
        if (!properties.contains(it.key())) removed << it.key();
    node.properties = properties;
    if (!updated.isEmpty()) updatedProperties[id].insert(updated);
    if (!removed.isEmpty()) removedProperties[id] << removed;
    flushing.start();
}

bool DBusMenuExporter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::ActionAdded || type == QEvent::ActionRemoved || type == QEvent::ActionChanged) {
        const auto found = nodeOfMenu.constFind(watched);
        if (found != nodeOfMenu.constEnd() && nodes.value(*found).synced) {
            dirty.insert(*found);
            flushing.start();
        }
    } else if (type == QEvent::Destroy) {
        nodeOfMenu.remove(watched);
    }
    return false;
}

// Sends what changed since the last flush: one LayoutUpdated for each changed menu no changed
// menu above it holds, and the properties of rows that stayed.
void DBusMenuExporter::flush() {
    flushing.stop();
    const QSet<int> pending = std::exchange(dirty, {});
    for (int id : pending) sync(id);
    if (!changedLayouts.isEmpty() && shown.isEmpty()) {
        ++revision;
        for (int id : std::as_const(changedLayouts)) {
            bool covered = false;
            for (int above = nodes.value(id).parent; above >= 0 && !covered; above = nodes.value(above).parent)
                covered = changedLayouts.contains(above);
            if (!covered) Q_EMIT LayoutUpdated(revision, id);
        }
        changedLayouts.clear();
    }
    if (updatedProperties.isEmpty() && removedProperties.isEmpty()) return;
    DBusMenuItemList updated;
    for (auto it = updatedProperties.constBegin(); it != updatedProperties.constEnd(); ++it)
        updated << DBusMenuItem{it.key(), it.value()};
    DBusMenuItemKeysList removed;
    for (auto it = removedProperties.constBegin(); it != removedProperties.constEnd(); ++it)
        removed << DBusMenuItemKeys{it.key(), it.value()};
    updatedProperties.clear();
    removedProperties.clear();
    Q_EMIT ItemsPropertiesUpdated(updated, removed);
}

// A row's properties, defaults left out as the protocol allows.
QVariantMap DBusMenuExporter::propertiesOf(const QAction* action) {
    QVariantMap properties;
    if (action->isSeparator()) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return properties;
    }
    const QString text = exported.label ? exported.label(action) : actionTextAsShown(action->text());
    properties.insert(QStringLiteral("label"), escapedLabel(text));
    if (!action->isEnabled()) properties.insert(QStringLiteral("enabled"), false);
    properties.insert(iconOf(action->icon()));
    if (action->isCheckable()) {
        const bool radio = action->actionGroup() && action->actionGroup()->isExclusive();
        properties.insert(QStringLiteral("toggle-type"), radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
        properties.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
    }
    if (action->menu()) properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    return properties;
}

// By name where the theme has the icon at the menu's size, so that every row's text starts at
// the same place; else as a PNG of that size.
QVariantMap DBusMenuExporter::iconOf(const QIcon& icon) {
    if (icon.isNull()) return {};
    // Rows made again bring icons made again: a theme icon is known by its name.
    const QString key = icon.name().isEmpty() ? QString::number(icon.cacheKey()) : icon.name();
    const auto cached = iconCache.constFind(key);
    if (cached != iconCache.constEnd()) return *cached;
    QVariantMap properties;
    if (!icon.name().isEmpty() && QIcon::fromTheme(icon.name()).availableSizes().contains(QSize(iconSide, iconSide))) {
        properties.insert(QStringLiteral("icon-name"), icon.name());
    } else {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        icon.pixmap(QSize(iconSide, iconSide), 1.0).toImage().save(&buffer, "PNG");
        if (!png.isEmpty()) properties.insert(QStringLiteral("icon-data"), png);
    }
    if (iconCache.size() > 1024) iconCache.clear();
    iconCache.insert(key, properties);
    return properties;
}

DBusMenuLayout DBusMenuExporter::layoutOf(int id, int depth, const QStringList& names) {
    if (!nodes.value(id).synced && nodes.value(id).submenu) {
        sync(id);
        changedLayouts.remove(id); // what the panel asked for is what it gets
    }
    DBusMenuLayout layout;
    layout.id = id;
    layout.properties = only(nodes.value(id).properties, names);
    if (depth == 0) return layout;
    const QList<int> rows = nodes.value(id).children;
    for (int row : rows) layout.children << layoutOf(row, depth < 0 ? -1 : depth - 1, names);
    return layout;
}

QVariantMap DBusMenuExporter::only(const QVariantMap& properties, const QStringList& names) {
    if (names.isEmpty()) return properties;
    QVariantMap kept;
    for (const QString& name : names)
        if (properties.contains(name)) kept.insert(name, properties.value(name));
    return kept;
}

} // namespace tarn
