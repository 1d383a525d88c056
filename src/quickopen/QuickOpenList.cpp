#include "quickopen/QuickOpenList.h"

#include "library/Library.h"
#include "platform/VisibleText.h"
#include "quickopen/QuickOpenModel.h"

namespace tarn {

QuickOpenList::QuickOpenList(QuickOpenModel& model, QObject* parent)
    : QAbstractListModel(parent), model(model) {
    connect(&model, &QuickOpenModel::resultsChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int QuickOpenList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(model.results().size());
}

QVariant QuickOpenList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= model.results().size()) return {};
    const QOEntry& item = model.results().at(index.row());
    switch (role) {
    case Qt::DisplayRole: return item.entry.title;
    case Qt::ToolTipRole: return plainToolTip(model.subtitle(item));
    // What a screen reader says of the row: the title, then what the row shows under and beside it.
    case Qt::AccessibleTextRole: return item.entry.title;
    case Qt::AccessibleDescriptionRole: {
        QStringList said{model.subtitle(item)};
        if (Library::shared().isOpen(item.entry)) said << QStringLiteral("open in a window");
        said.removeAll(QString());
        return said.join(QStringLiteral(", "));
    }
    default: return {};
    }
}

} // namespace tarn
