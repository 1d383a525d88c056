#include "quickopen/QuickOpenList.h"

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
    case Qt::ToolTipRole: return model.subtitle(item);
    default: return {};
    }
}

} // namespace tarn
