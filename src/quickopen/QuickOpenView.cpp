#include "quickopen/QuickOpenView.h"

#include "index/FileIndex.h"

#include "menu/Icons.h"
#include "menu/MenuItems.h"
#include "quickopen/QuickOpenController.h"
#include "quickopen/QuickOpenList.h"
#include "quickopen/QuickOpenModel.h"
#include "quickopen/QuickOpenRow.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tarn {

namespace {
constexpr int searchIconSize = 18;
constexpr int searchFontSize = 20;
constexpr int hintFontSize = 11;

QFont sized(QFont font, int pixels, QFont::Weight weight = QFont::Normal) {
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

void useSecondaryColor(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    widget->setPalette(palette);
}

// One key and what it does: "Ctrl ↩ Show in Files".
QWidget* hint(const QString& key, const QString& label, const QFont& font) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* keyLabel = new QLabel(key);
    keyLabel->setFont(sized(font, hintFontSize, QFont::DemiBold));
    auto* text = new QLabel(label);
    text->setFont(sized(font, hintFontSize));
    for (QLabel* part : {keyLabel, text}) {
        useSecondaryColor(part);
        layout->addWidget(part);
    }
    return box;
}
} // namespace

QString QuickOpenView::placeholder() {
    return QString::fromUtf8("Search workspaces, repos, folders, shortcuts\u2026");
}
QString QuickOpenView::emptyCatalogueText() {
    return QStringLiteral("Nothing here yet. Add folders from the tray menu.");
}
QString QuickOpenView::noMatchText() { return QStringLiteral("No matches"); }

QuickOpenView::QuickOpenView(QuickOpenModel& model, QuickOpenController& controller, QWidget* parent)
    : QWidget(parent), model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(searchBar());
    layout->addWidget(divider());

    empty = new QLabel;
    empty->setAlignment(Qt::AlignCenter);
    useSecondaryColor(empty);
    listModel = new QuickOpenList(model, this);
    rows = new QListView;
    rows->setModel(listModel);
    rows->setItemDelegate(new QuickOpenRow(model, rows));
    rows->setFrameShape(QFrame::NoFrame);
    rows->setFocusPolicy(Qt::NoFocus); // the keys belong to the search field and the panel
    // The view follows the model's selection, so that screen readers hear which row is chosen;
    // the rows themselves are drawn from the model.
    rows->setSelectionMode(QAbstractItemView::SingleSelection);
    rows->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rows->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    rows->setMouseTracking(true);
    rows->viewport()->setAutoFillBackground(false);
    auto* listBox = new QWidget;
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->setContentsMargins(QuickOpenRow::listPadding, QuickOpenRow::listPadding,
                                   QuickOpenRow::listPadding, QuickOpenRow::listPadding);
    listLayout->addWidget(rows);
    body = new QStackedWidget;
    body->addWidget(empty);
    body->addWidget(listBox);
    layout->addWidget(body, 1);

    layout->addWidget(divider());
    layout->addWidget(hintBar());

    connect(rows, &QListView::clicked, &controller, [&controller](const QModelIndex& index) {
        controller.openRow(index.row());
    });
    connect(field, &QLineEdit::textEdited, &model, &QuickOpenModel::setQuery);
    connect(&model, &QuickOpenModel::queryChanged, this, [this] {
        if (field->text() != this->model.query()) field->setText(this->model.query());
        this->model.recompute();
    });
    connect(&model, &QuickOpenModel::resultsChanged, this, &QuickOpenView::showResults);
    connect(&model, &QuickOpenModel::allChanged, this, &QuickOpenView::showResults);
    connect(&model, &QuickOpenModel::selectionChanged, this, &QuickOpenView::scrollToSelection);
    connect(&model, &QuickOpenModel::gitVersionChanged, rows->viewport(), qOverload<>(&QWidget::update));
    connect(&model, &QuickOpenModel::focusTokenChanged, this, &QuickOpenView::focusField);
    connect(&FileIndex::shared(), &FileIndex::changed, this, &QuickOpenView::showIndexing);
    showIndexing();
    showResults();
}

QString QuickOpenView::emptyText() const { return body->currentWidget() == empty ? empty->text() : QString(); }

void QuickOpenView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showIndexing(); // at the panel's own width
    focusField();
}

QWidget* QuickOpenView::searchBar() {
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(16, 18, 16, 12);
    layout->setSpacing(10);
    auto* glass = new QLabel;
    glass->setPixmap(Icons::symbol(QStringLiteral("magnifyingglass"))
                         .pixmap(searchIconSize, searchIconSize, QIcon::Disabled));
    layout->addWidget(glass);
    field = new QLineEdit;
    field->setAccessibleName(QStringLiteral("Search"));
    field->setFrame(false);
    field->setPlaceholderText(placeholder());
    field->setFont(sized(font(), searchFontSize));
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
    layout->addWidget(field, 1);
    return bar;
}

QWidget* QuickOpenView::hintBar() {
    hints = new QWidget;
    auto* layout = new QHBoxLayout(hints);
    layout->setContentsMargins(14, 8, 14, 8);
    layout->setSpacing(14);
    // The keys as they are written on a PC keyboard.
    terminalHint = hint(QString::fromUtf8("Alt \u21a9"), QStringLiteral("Terminal"), font());
    actionsHint = hint(QStringLiteral("Ctrl K"), QStringLiteral("Actions"), font());
    layout->addWidget(hint(QString::fromUtf8("\u21a9"), QStringLiteral("Open"), font()));
    layout->addWidget(hint(QString::fromUtf8("Ctrl \u21a9"), MenuItems::showInFileManagerTitle(), font()));
    layout->addWidget(terminalHint);
    layout->addWidget(actionsHint);
    layout->addStretch(1);
    indexing = new QLabel;
    indexing->setFont(sized(font(), hintFontSize));
    indexing->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(indexing);
    layout->addWidget(hint(QStringLiteral("Esc"), QStringLiteral("Close"), font()));
    return hints;
}

QWidget* QuickOpenView::divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

void QuickOpenView::showResults() {
    if (model.results().isEmpty()) {
        empty->setText(model.all().isEmpty() ? emptyCatalogueText() : noMatchText());
        body->setCurrentWidget(empty);
        return;
    }
    body->setCurrentWidget(rows->parentWidget());
    scrollToSelection();
}

void QuickOpenView::scrollToSelection() {
    rows->viewport()->update();
    const QModelIndex index = listModel->index(model.selection());
    if (!index.isValid()) return;
    rows->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    rows->scrollTo(index, QAbstractItemView::EnsureVisible);
}

void QuickOpenView::showIndexing() {
    if (!isVisible()) return; // counting a million items is for a panel that shows them
    const FileIndex& index = FileIndex::shared();
    QString status;
    if (index.isIndexing())
        status = QStringLiteral("Indexing\u2026 %L1 files").arg(qulonglong(index.fileCount() + index.folderCount()));
    else if (index.watchLimitReached()) // so the panel may open on names changed since
        status = QStringLiteral("Some folders unwatched: system limit reached");
    indexing->setText(status);
    indexing->setVisible(!status.isEmpty());
    // Where the bar cannot hold the status beside every key, the keys least needed give way.
    terminalHint->show();
    actionsHint->show();
    for (QWidget* hint : {terminalHint, actionsHint}) {
        hints->layout()->invalidate();
        if (!status.isEmpty() && hints->sizeHint().width() > width()) hint->hide();
    }
}

void QuickOpenView::focusField() {
    field->setFocus(Qt::OtherFocusReason);
}

} // namespace tarn
