#pragma once

#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>

class QAction;
class QMenu;

namespace tarn {

// A menu as a panel that draws it itself receives it: the rows of `menu` and its submenus (each
// made by its aboutToShow, as when Tarn shows it), each row read as `label` says.
struct ExportedMenu {
    QMenu* menu = nullptr;
    std::function<QString(const QAction*)> label; // the row's whole text, as a panel shows it
};

// Tarn's icon in the desktop's tray: a StatusNotifier item where a panel hosts them, an XEmbed
// icon in older trays. It follows hosts that come and go while Tarn runs.
class StatusItem {
public:
    virtual ~StatusItem() = default;

    // The icon: `themed` (an icon-theme icon, "tarn-symbolic") for panels that take icons by
    // name and recolour them, `drawn` for the others.
    virtual void setIcon(const QIcon& themed, const QIcon& drawn) = 0;
    virtual void setToolTip(const QString& text) = 0;
    virtual QString toolTip() const = 0;
    // The menu for panels that draw it themselves.
    virtual void setMenu(const ExportedMenu& menu) = 0;
    // Starts showing the icon, now or when a tray appears.
    virtual void show() = 0;

    // Whether a tray shows the icon now.
    virtual bool isShown() const = 0;
    // Whether a panel recolours the themed icon (a StatusNotifier host shows it).
    virtual bool panelRecolours() const = 0;
    // Where the icon is on the screen, when the tray says (XEmbed); else invalid.
    virtual QRect geometry() const = 0;

    // A click that asks for Tarn's own menu, at `where` on the screen (null when not known).
    std::function<void(QPoint where)> activated;
    // A tray appeared, or the one there went.
    std::function<void()> shownChanged;
};

} // namespace tarn
