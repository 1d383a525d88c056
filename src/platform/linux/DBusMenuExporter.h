#pragma once

#include "platform/StatusItem.h"
#include "platform/linux/DBusTrayTypes.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <memory>

class QAction;
class QMenu;

namespace tarn {

// Tarn's menu as com.canonical.dbusmenu, for panels that draw a tray item's menu themselves.
//
// Each row keeps its id for as long as it stays (a submenu made again with the same rows keeps
// their ids, and nothing is sent), so a panel never loses the submenu it has open to a
// renumbering. When a menu is opened (AboutToShow, or the "opened" event) it is made, and so
// are the submenus of its rows: a panel finds a submenu's rows before it shows it. Rows that
// change later (a folder read, a git status) are sent as they change, whether shown or not,
// coalesced to one LayoutUpdated or ItemsPropertiesUpdated per turn of the event loop.
// Hidden rows (the alternates) are not exported.
//
// GNOME Shell's AppIndicator extension closes an open submenu at any layout change (it reads
// the whole layout again at every LayoutUpdated and makes every submenu row anew): while the
// Shell shows a submenu, layout changes wait until it closes. So that it still finds what the
// user opens next, an opening makes two levels of submenus below it, the first while its parent
// is the one shown. Other panels (GTK's and Qt's dbusmenu) update an open submenu in place and
// get each change as it comes: a folder listed late replaces its "Loading…" row on the screen.
class DBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit DBusMenuExporter(const ExportedMenu& exported, QObject* parent = nullptr);
    ~DBusMenuExporter() override;

    // Serves the menu at `path`; false when the bus refuses.
    bool exportOn(QDBusConnection bus, const QString& path);

    // A title as a dbusmenu label: "_" marks a mnemonic there, so a literal one is doubled.
    static QString escapedLabel(const QString& text);

    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, tarn::DBusMenuLayout& layout);
    tarn::DBusMenuItemList GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const tarn::DBusMenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

Q_SIGNALS:
    void ItemsPropertiesUpdated(const tarn::DBusMenuItemList& updatedProps,
                                const tarn::DBusMenuItemKeysList& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Node {
        QPointer<QAction> action; // none for the root
        QPointer<QMenu> submenu;
        QVariantMap properties;
        QList<int> children;
        int parent = -1;
        bool synced = false; // its rows mirrored at least once
        bool filled = false; // its menu made for the panel at least once
    };

    bool open(int id);
    bool callerClosesOnChange() const;
    void closed(int id);
    void fill(int id);
    void sync(int id);
    void forget(int id);
    void watch(QMenu* menu, int id);
    void changeProperties(int id, const QVariantMap& properties);
    void flush();
    QVariantMap propertiesOf(const QAction* action);
    QVariantMap iconOf(const QIcon& icon);
    DBusMenuLayout layoutOf(int id, int depth, const QStringList& names);
    static QVariantMap only(const QVariantMap& properties, const QStringList& names);

    ExportedMenu exported;
    QHash<int, Node> nodes;
    QHash<const QObject*, int> nodeOfMenu;
    QHash<QString, QVariantMap> iconCache; // an icon's name (or cache key) -> its properties
    int nextId = 1;
    uint revision = 1;
    // What the next flush sends.
    QSet<int> dirty; // menus whose rows changed
    QSet<int> changedLayouts;
    QSet<int> shown; // submenus GNOME Shell shows now (not the top menu)
    QHash<int, QVariantMap> updatedProperties;
    QHash<int, QStringList> removedProperties;
    QTimer flushing;
    QString shellOwner; // GNOME Shell's unique name on the bus; empty where it does not run
    std::unique_ptr<QDBusServiceWatcher> shellWatcher;
};

} // namespace tarn
