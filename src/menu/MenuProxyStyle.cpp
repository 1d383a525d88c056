#include "menu/MenuProxyStyle.h"

#include "menu/MenuStyle.h"

#include <QAction>
#include <QApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

#include <cmath>

namespace tarn {

namespace {

// Fusion's menu-item geometry.
constexpr int itemFrame = 2;
constexpr int itemHMargin = 3;
constexpr int itemVMargin = 8;
constexpr int rightBorder = 15;

const QChar blackCircle(0x25CF);

std::optional<StyledTitle> styledTitleOf(const QStyleOption* option) {
    const auto* action = qobject_cast<const QAction*>(option->styleObject);
    return action ? MenuStyle::titleOf(action) : std::nullopt;
}

// A menu shows the same titles at every rebuild, and lays thousands of them out at once:
// each is measured once.
qreal advanceOf(const QString& text, const QFont& font) {
    static QHash<QPair<QString, QString>, qreal> measured;
    const QPair<QString, QString> key(text, font.key());
    auto found = measured.constFind(key);
    if (found == measured.constEnd()) {
        if (measured.size() > 20000) measured.clear();
        found = measured.insert(key, QFontMetricsF(font).horizontalAdvance(text));
    }
    return *found;
}

qreal contentWidth(const StyledTitle& title, const QFont& font) {
    if (!title.tabbed) return advanceOf(title.title, font);
    if (!title.dot) return MenuStyle::infoTab();
    return MenuStyle::dotTab() + QFontMetricsF(MenuStyle::dotFont()).horizontalAdvance(blackCircle);
}

} // namespace

MenuProxyStyle::MenuProxyStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

MenuProxyStyle* MenuProxyStyle::shared() {
    static QPointer<MenuProxyStyle> style;
    if (!style) {
        style = new MenuProxyStyle;
        style->setParent(qApp);
    }
    return style;
}

int MenuProxyStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                              QStyleHintReturn* returnData) const {
    // A folder of thousands of files would otherwise be laid out in columns far wider than the
    // screen, most of them out of reach.
    if (hint == SH_Menu_Scrollable) return 1;
    // Headers are disabled rows: drawn flat in a readable grey, not etched.
    if (hint == SH_EtchDisabledText) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int MenuProxyStyle::textOffset(int height, int maxIconWidth) {
    const int checkColumn = std::max(int(height * 0.79), std::max(maxIconWidth, 21));
    return (itemHMargin + itemFrame - 1) + checkColumn + itemHMargin;
}

void MenuProxyStyle::drawControl(ControlElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    if (!(item->state & State_Enabled)) {
        // Headers and greyed rows in a grey that reads on the menu (Fusion's is 1.9:1 on white).
        QStyleOptionMenuItem readable = *item;
        for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            readable.palette.setColor(QPalette::Disabled, role, MenuStyle::disabledColor());
        drawMenuItem(readable, painter, widget);
        return;
    }
    drawMenuItem(*item, painter, widget);
}

void MenuProxyStyle::drawMenuItem(const QStyleOptionMenuItem& option, QPainter* painter, const QWidget* widget) const {
    const QStyleOptionMenuItem* item = &option;
    const std::optional<StyledTitle> title = styledTitleOf(&option);
    if (!title) {
        QProxyStyle::drawControl(CE_MenuItem, &option, painter, widget);
        return;
    }
    // Fusion draws the background, highlight, icon, check mark and submenu arrow; we draw the
    // columns.
    QStyleOptionMenuItem bare = *item;
    bare.text.clear();
    bare.styleObject = nullptr;
    QProxyStyle::drawControl(CE_MenuItem, &bare, painter, widget);

    const QRect r = item->rect;
    const int left = r.x() + textOffset(r.height(), item->maxIconWidth);
    const QRect textRect(left, r.y() + itemVMargin, r.right() - rightBorder - left + 1,
                         r.height() - 2 * itemVMargin);
    const bool selected = (item->state & State_Selected) && (item->state & State_Enabled);
    const QPalette::ColorGroup group = item->state & State_Enabled ? QPalette::Active : QPalette::Disabled;
    const QColor text = item->palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;

    painter->save();
    painter->setFont(item->font);
    painter->setPen(text);
    painter->drawText(textRect, flags | Qt::AlignLeft, title->title);
    if (title->info) {
        QColor secondary = selected ? text : MenuStyle::secondaryColor();
        if (selected) secondary.setAlphaF(0.8f);
        painter->setFont(MenuStyle::infoFont());
        painter->setPen(secondary);
        const QRect infoRect(left, textRect.y(), int(MenuStyle::infoTab()), textRect.height());
        const StyledInfo& info = *title->info;
        if (selected || info.markedLength == 0) {
            painter->drawText(infoRect, flags | Qt::AlignRight, info.text);
        } else {
            // Right-aligned as one text, the marked part in the accent colour.
            const QFontMetricsF metrics(MenuStyle::infoFont());
            const QString before = info.text.left(info.markedFrom), marked = info.text.mid(info.markedFrom, info.markedLength),
                          after = info.text.mid(info.markedFrom + info.markedLength);
            qreal x = infoRect.right() + 1 - metrics.horizontalAdvance(info.text);
            for (const auto& [part, colour] : {std::pair{before, secondary}, std::pair{marked, MenuStyle::markColor()},
                                               std::pair{after, secondary}}) {
                painter->setPen(colour);
                painter->drawText(QRectF(x, infoRect.y(), metrics.horizontalAdvance(part) + 1, infoRect.height()),
                                  flags | Qt::AlignLeft, part);
                x += metrics.horizontalAdvance(part);
            }
        }
    }
    if (title->dot && *title->dot) {
        painter->setFont(MenuStyle::dotFont());
        painter->setPen(MenuStyle::dotColor());
        const QRect dotRect(left + int(MenuStyle::dotTab()), textRect.y(), r.right() - left, textRect.height());
        painter->drawText(dotRect, flags | Qt::AlignLeft, QString(blackCircle));
    }
    painter->restore();
}

QSize MenuProxyStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                       const QSize& size, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    const std::optional<StyledTitle> title =
        type == CT_MenuItem && item ? styledTitleOf(option) : std::nullopt;
    if (!title) return QProxyStyle::sizeFromContents(type, option, size, widget);
    // `size` is the plain text's; the text part is as wide as the columns instead. Room for a
    // submenu arrow is always kept: an entry's alternate has one, and the menu must not widen
    // when Alt swaps the alternates in.
    const QSize columns(int(std::ceil(contentWidth(*title, item->font))), size.height());
    QStyleOptionMenuItem withArrow = *item;
    withArrow.menuItemType = QStyleOptionMenuItem::SubMenu;
    return QProxyStyle::sizeFromContents(type, &withArrow, columns, widget);
}

} // namespace tarn
