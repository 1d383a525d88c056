#pragma once

#include "platform/linux/DBusTrayTypes.h"

#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>
#include <QPoint>

#include <functional>

namespace tarn {

// Tarn's org.kde.StatusNotifierItem: the object a StatusNotifier panel (KDE Plasma, GNOME's
// AppIndicator extension, the XFCE panel, waybar) reads the icon, tooltip and menu from. The
// icon goes by name (a panel recolours a symbolic icon) and as pixels, for panels without the
// theme. Clicks come back through `activated`.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(tarn::StatusIconPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(tarn::StatusIconPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(tarn::StatusIconPixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(tarn::StatusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    // `menuPath`: where the exported menu is served.
    StatusNotifierItem(const QString& menuPath, bool itemIsMenu, QObject* parent = nullptr);

    void setIcon(const QIcon& themed, const QIcon& drawn);
    void setToolTip(const QString& text);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("tarn"); }
    QString title() const { return QStringLiteral("Tarn"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const;
    QString iconName() const { return themedName; }
    StatusIconPixmaps iconPixmap() const { return pixmaps; }
    QString none() const { return {}; }
    StatusIconPixmaps noPixmaps() const { return {}; }
    StatusToolTip toolTip() const;
    bool itemIsMenu() const { return isMenu; }
    QDBusObjectPath menu() const { return QDBusObjectPath(menuPath); }

    // Run from a build tree, the folder of the icons drawn there, laid out as an icon theme;
    // installed, none (the theme has them).
    static QString builtIcons();

    // Pixels as the protocol carries them: ARGB32, big-endian, at the sizes panels use.
    static StatusIconPixmaps pixmapsOf(const QIcon& icon);

    // A click on the icon that asks for Tarn's own menu, where the panel says.
    std::function<void(QPoint where)> activated;

public Q_SLOTS:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);
    void ProvideXdgActivationToken(const QString& token);

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void NewMenu();

private:
    QString menuPath;
    bool isMenu;
    QString themedName;
    StatusIconPixmaps pixmaps;
    QString tip;
};

} // namespace tarn
