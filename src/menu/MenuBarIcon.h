#pragma once

#include <QIcon>
#include <QList>
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

// The tray image of a style; the drawn key for "tarn", unknown styles and symbols the icon
// theme does not have. Never null.
QIcon image(const QString& id);

// The drawn key: a key-cap outline with the letter T inside, on an 18 × 18 point canvas.
QIcon keyImage();

// The freedesktop icon-theme names that stand for a system symbol, best first.
QStringList themeNames(const QString& symbol);

} // namespace MenuBarIcon
} // namespace tarn
