#pragma once

#include "platform/StatusItem.h"

#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>

class QSystemTrayIcon;

namespace tarn {

class DBusMenuExporter;
class StatusNotifierItem;

// The status item on Linux: Tarn's own StatusNotifier item with its exported menu wherever a
// StatusNotifier watcher with a host runs, registered again each time a watcher appears (a
// panel started late, a shell restarted); Qt's XEmbed tray icon on X11 where only an XEmbed
// tray runs. It moves between the two as trays come and go.
//
// Qt's own tray icon decides once per process whether to use a StatusNotifier watcher; it is
// made only while none has a host, so it is always the XEmbed one.
class LinuxStatusItem : public QObject, public StatusItem {
    Q_OBJECT
public:
    LinuxStatusItem();
    ~LinuxStatusItem() override;

    void setIcon(const QIcon& themed, const QIcon& drawn) override;
    void setToolTip(const QString& text) override;
    QString toolTip() const override { return tip; }
    void setMenu(const ExportedMenu& menu) override;
    void show() override;
    bool isShown() const override;
    bool panelRecolours() const override { return registered; }
    QRect geometry() const override;

    // The item's bus name and paths.
    static constexpr char itemPath[] = "/StatusNotifierItem";
    static constexpr char menuPath[] = "/MenuBar";
    QString serviceName() const { return service; }

private Q_SLOTS:
    void watcherChanged();
    void askWatcher();
    void itemDropped(const QString& id);

private:
    void update();
    void registerWithWatcher();
    bool exportItem();
    void showXEmbed(bool shown);
    static bool xembedTrayPresent();

    QString service;
    QDBusServiceWatcher watcherOwner;
    std::unique_ptr<StatusNotifierItem> item;
    std::unique_ptr<DBusMenuExporter> exporter;
    std::unique_ptr<QSystemTrayIcon> xembed;
    ExportedMenu exported;
    QIcon themedIcon, drawnIcon;
    QString tip;
    bool wanted = false;     // show() was called
    bool hostPresent = false; // the watcher said it has a host, when last asked
    bool registered = false;  // a watcher with a host has the item
    bool exportedOnBus = false;
    bool asking = false, askAgain = false; // a question to the watcher is on its way
    bool registering = false;
    int watcherGeneration = 0; // counts the watchers that came and went
    QList<std::chrono::steady_clock::time_point> dropTimes; // when the watcher dropped the item lately
    QTimer retry;              // an XEmbed tray may start later and says nothing of it
};

} // namespace tarn
