#pragma once

#include "platform/Dialogs.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollArea;

namespace tarn {

// The checklist of the shortcut picker: a filter, the shortcuts under their group headers
// with check boxes, and how many are ticked. 380 points wide, the list 340 high.
class ShortcutPicker : public QWidget {
    Q_OBJECT
public:
    ShortcutPicker(const QList<PickerGroup>& groups, const QStringList& selected);

    // Shows only the shortcuts whose name holds `filter` (any case); a group left with none
    // hides its header. The list never gets shorter than 336 points.
    void layout(const QString& filter);

    // The ticked identifiers, in list order.
    QStringList chosenIDs() const;

    QLineEdit* search() const { return filterField; }
    QString countText() const;
    QWidget* list() const { return listWidget; }
    QList<QLabel*> headers() const;

private:
    void updateCount();

    struct Group {
        QLabel* header;
        QList<QPair<QCheckBox*, QString>> boxes;
    };
    QLineEdit* filterField;
    QScrollArea* scroll;
    QWidget* listWidget;
    QLabel* count;
    QList<Group> groups;
};

} // namespace tarn
