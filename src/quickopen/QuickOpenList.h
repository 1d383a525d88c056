#pragma once

#include <QAbstractListModel>

namespace tarn {

class QuickOpenModel;

// The Quick Open results as rows of a list view; the rows are drawn from the model itself.
class QuickOpenList : public QAbstractListModel {
    Q_OBJECT
public:
    explicit QuickOpenList(QuickOpenModel& model, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QuickOpenModel& model;
};

} // namespace tarn
