#pragma once

#include <QProxyStyle>

class QStyleOptionMenuItem;

namespace tarn {

// Draws the two-column titles of MenuStyle: the title from the text's left edge, the info
// text right-aligned at 214 points and the green dot at 222, on Fusion's menu items (a base
// with known geometry, so the columns line up under every desktop). Items without a styled
// title are drawn as Fusion draws them.
class MenuProxyStyle : public QProxyStyle {
public:
    MenuProxyStyle();

    // The style every menu of Tarn uses; lives as long as the application.
    static MenuProxyStyle* shared();

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    // Long menus scroll in one column instead of spreading into columns.
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // Where the text of a menu item of `height` starts, from the item's left edge, with icons
    // of `maxIconWidth`.
    static int textOffset(int height, int maxIconWidth);

private:
    void drawMenuItem(const QStyleOptionMenuItem& item, QPainter* painter, const QWidget* widget) const;
};

} // namespace tarn
