#include "platform/linux/ShortcutPicker.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tarn {

namespace {
constexpr int pickerWidth = 380;
constexpr int listHeight = 340;
constexpr int shortestList = 336;
} // namespace

ShortcutPicker::ShortcutPicker(const QList<PickerGroup>& pickerGroups, const QStringList& selected) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    filterField = new QLineEdit(this);
    filterField->setPlaceholderText(QStringLiteral("Filter"));
    filterField->setFixedWidth(pickerWidth);
    column->addWidget(filterField);

    scroll = new QScrollArea(this);
    scroll->setFixedSize(pickerWidth, listHeight);
    scroll->setWidgetResizable(true);
    listWidget = new QWidget;
    auto* rows = new QVBoxLayout(listWidget);
    rows->setSpacing(2);
    for (const PickerGroup& group : pickerGroups) {
        if (group.shortcuts.isEmpty()) continue;
        Group made{new QLabel(group.header.toUpper(), listWidget), {}};
        QFont font = made.header->font();
        font.setPixelSize(10);
        font.setWeight(QFont::DemiBold);
        made.header->setFont(font);
        made.header->setForegroundRole(QPalette::PlaceholderText);
        rows->addWidget(made.header);
        for (const auto& [id, name] : group.shortcuts) {
            auto* box = new QCheckBox(name, listWidget);
            box->setChecked(selected.contains(id));
            connect(box, &QCheckBox::toggled, this, &ShortcutPicker::updateCount);
            rows->addWidget(box);
            made.boxes.append({box, id});
        }
        groups << made;
    }
    rows->addStretch();
    scroll->setWidget(listWidget);
    column->addWidget(scroll);

    count = new QLabel(this);
    QFont small = count->font();
    small.setPixelSize(11);
    count->setFont(small);
    count->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(count);

    connect(filterField, &QLineEdit::textChanged, this, &ShortcutPicker::layout);
    layout(QString());
    updateCount();
}

void ShortcutPicker::layout(const QString& filter) {
    const QString query = filter.trimmed().toLower();
    for (const Group& group : groups) {
        bool any = false;
        for (const auto& [box, id] : group.boxes) {
            const bool shown = query.isEmpty() || box->text().toLower().contains(query);
            box->setVisible(shown);
            any = any || shown;
        }
        group.header->setVisible(any);
    }
    listWidget->setMinimumHeight(shortestList);
    scroll->verticalScrollBar()->setValue(0);
}

QStringList ShortcutPicker::chosenIDs() const {
    QStringList chosen;
    for (const Group& group : groups)
        for (const auto& [box, id] : group.boxes)
            if (box->isChecked()) chosen << id;
    return chosen;
}

QString ShortcutPicker::countText() const { return count->text(); }

QList<QLabel*> ShortcutPicker::headers() const {
    QList<QLabel*> labels;
    for (const Group& group : groups) labels << group.header;
    return labels;
}

void ShortcutPicker::updateCount() { count->setText(QString::number(chosenIDs().size()) + " selected"); }

} // namespace tarn
