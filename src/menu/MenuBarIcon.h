#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPainterPath>
#include <QString>
#include <optional>

namespace tarn {

// One icon style the user can choose for the tray icon.
struct MenuBarIconChoice {
    QString id;
    QString title;
    std::optional<QString> symbol; // system symbol name; none for the drawn key

    bool operator==(const MenuBarIconChoice&) const = default;
};

namespace MenuBarIcon {

// The styles, in menu order.
const QList<MenuBarIconChoice>& choices();

// The tray image of a style, in one colour; the drawn key for "tarn", unknown styles and
// symbols the icon theme does not have ("</>" drawn for Code). Never null. `panel` is the
// colour the icon sits on when known: the icon is then white on a dark panel and black on a
// light one; unknown, it is the palette's text colour with a rim of the opposite tone.
QIcon image(const QString& id, std::optional<QColor> panel = std::nullopt);

// The style as an icon-theme icon ("tarn-symbolic", "folder-symbolic"), which a StatusNotifier
// panel receives by name and recolours itself; null when the theme has none for it.
QIcon themedImage(const QString& id);

// The key as one filled shape on the 18 × 18 canvas, for the installed symbolic icon.
QPainterPath keyShape();

// The installed symbolic icon: the key shape in the text colour of KDE's colour-scheme
// stylesheet (class ColorScheme-Text, fill currentColor), which Plasma recolours to its panel;
// GTK panels recolour any fill.
QByteArray symbolicSvg();

// The drawn key: a key-cap outline with the letter t inside as one open stroke with a dot at
// each end, on an 18 × 18 point canvas. Without a known panel colour it takes the palette's
// text colour and a rim of the opposite tone, so it reads on light and dark panels alike.
QIcon keyImage(std::optional<QColor> panel = std::nullopt);

// The freedesktop icon-theme names that stand for a system symbol, best first.
QStringList themeNames(const QString& symbol);

} // namespace MenuBarIcon
} // namespace tarn
