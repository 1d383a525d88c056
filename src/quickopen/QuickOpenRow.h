#pragma once

#include "model/QOEntry.h"

#include <QStyledItemDelegate>

namespace tarn {

class QuickOpenModel;

// Draws one Quick Open result: its icon, its title with the open-window dot, and its subtitle,
// on the accent colour when it is the selected row.
class QuickOpenRow : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int listPadding = 6;
    static constexpr int rowGap = 2;
    static constexpr int iconSize = 22;

    // What a row shows.
    struct Contents {
        QOEntry item;
        QString subtitle;
        bool selected = false;
        bool isOpen = false;
    };

    QuickOpenRow(QuickOpenModel& model, QObject* parent);

    // The contents of result `row` now.
    Contents contents(int row) const;
    // The icon of an entry: the symbols of shortcuts and links, else the file's own icon.
    static QIcon icon(const QOEntry& item);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QuickOpenModel& model;
};

} // namespace tarn
