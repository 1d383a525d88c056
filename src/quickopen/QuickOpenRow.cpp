#include "quickopen/QuickOpenRow.h"

#include "library/Library.h"
#include "menu/Icons.h"
#include "menu/MenuStyle.h"
#include "platform/VisibleText.h"
#include "quickopen/QuickOpenModel.h"

#include <QPainter>
#include <QPainterPath>

namespace tarn {

namespace {
constexpr int paddingX = 10;
constexpr int paddingY = 5;
constexpr int spacing = 10;
constexpr int titleSize = 14;
constexpr int subtitleSize = 11;
constexpr int lineGap = 1;
constexpr int dotSize = 7;
constexpr int dotGap = 6;
constexpr qreal cornerRadius = 6;

QFont titleFont(QFont font) {
    font.setPixelSize(titleSize);
    font.setWeight(QFont::Medium);
    return font;
}

QFont subtitleFont(QFont font) {
    font.setPixelSize(subtitleSize);
    return font;
}
} // namespace

QuickOpenRow::QuickOpenRow(QuickOpenModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model(model) {}

QuickOpenRow::Contents QuickOpenRow::contents(int row) const {
    const QOEntry& item = model.results().at(row);
    return {item, model.subtitle(item), row == model.selection(), Library::shared().isOpen(item.entry)};
}

QIcon QuickOpenRow::icon(const QOEntry& item) {
    switch (item.entry.kind) {
    case EntryKind::shortcut: return Icons::symbol(QStringLiteral("square.stack.3d.forward.dottedline"));
    case EntryKind::link: return Icons::symbol(QStringLiteral("link"));
    default: return Icons::file(item.entry.url.toLocalFile());
    }
}

QSize QuickOpenRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.row() >= model.results().size()) return {};
    const bool hasSubtitle = !model.subtitle(model.results().at(index.row())).isEmpty();
    int text = QFontMetrics(titleFont(option.font)).height();
    if (hasSubtitle) text += lineGap + QFontMetrics(subtitleFont(option.font)).height();
    return {option.rect.width(), qMax(iconSize, text) + 2 * paddingY + rowGap};
}

void QuickOpenRow::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    if (index.row() >= model.results().size()) return;
    const Contents row = contents(index.row());
    const QRect frame = option.rect.adjusted(0, rowGap / 2, 0, -(rowGap - rowGap / 2));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (row.selected) {
        QPainterPath background;
        background.addRoundedRect(frame, cornerRadius, cornerRadius);
        painter->fillPath(background, option.palette.color(QPalette::Highlight));
    }
    const QColor primary = row.selected ? QColor(Qt::white) : option.palette.color(QPalette::Text);
    QColor secondary = option.palette.color(QPalette::PlaceholderText);
    if (row.selected) secondary = QColor(255, 255, 255, int(0.85 * 255));

    const QRect content = frame.adjusted(paddingX, paddingY, -paddingX, -paddingY);
    const QRect iconRect(content.left(), content.center().y() - iconSize / 2 + 1, iconSize, iconSize);
    icon(row.item).paint(painter, iconRect);

    const QFont title = titleFont(option.font);
    const QFont subtitle = subtitleFont(option.font);
    const QFontMetrics titleMetrics(title), subtitleMetrics(subtitle);
    const int left = iconRect.right() + 1 + spacing;
    const int width = content.right() + 1 - left;
    int textHeight = titleMetrics.height();
    if (!row.subtitle.isEmpty()) textHeight += lineGap + subtitleMetrics.height();
    int y = content.top() + (content.height() - textHeight) / 2;

    const int dotRoom = row.isOpen ? dotGap + dotSize : 0;
    const QString titleText = titleMetrics.elidedText(visibleText(row.item.entry.title), Qt::ElideRight, width - dotRoom);
    painter->setFont(title);
    painter->setPen(primary);
    const QRect titleRect(left, y, titleMetrics.horizontalAdvance(titleText), titleMetrics.height());
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, titleText);
    if (row.isOpen) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(MenuStyle::dotColor());
        painter->drawEllipse(QRectF(titleRect.right() + 1 + dotGap, titleRect.center().y() - dotSize / 2.0 + 1,
                                    dotSize, dotSize));
    }
    if (!row.subtitle.isEmpty()) {
        y += titleMetrics.height() + lineGap;
        painter->setFont(subtitle);
        painter->setPen(secondary);
        painter->drawText(QRect(left, y, width, subtitleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          subtitleMetrics.elidedText(visibleText(row.subtitle), Qt::ElideMiddle, width));
    }
    painter->restore();
}

} // namespace tarn
