#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;

namespace tarn {

class QuickOpenController;
class QuickOpenList;
class QuickOpenModel;

// What the Quick Open panel shows: the search field, the ranked rows or an empty text, and the
// key hints. Follows the model: every query change re-ranks, every selection change scrolls
// the selected row into view, every focus token puts the keyboard focus in the field.
class QuickOpenView : public QWidget {
    Q_OBJECT
public:
    QuickOpenView(QuickOpenModel& model, QuickOpenController& controller, QWidget* parent);

    static QString placeholder();
    static QString emptyCatalogueText();
    static QString noMatchText();

    QLineEdit* searchField() const { return field; }
    QListView* list() const { return rows; }
    // The text shown instead of the list, when it is shown.
    QString emptyText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* searchBar();
    QWidget* hintBar();
    QWidget* divider();
    void showResults();
    void scrollToSelection();
    void focusField();
    // "Indexing… N files" while the file index is being walked, or that the watch limit is
    // reached, in the hint bar.
    void showIndexing();

    QuickOpenModel& model;
    QLineEdit* field = nullptr;
    QListView* rows = nullptr;
    QuickOpenList* listModel = nullptr;
    QLabel* empty = nullptr;
    QLabel* indexing = nullptr;
    QWidget* hints = nullptr; // the hint bar
    QWidget* terminalHint = nullptr;
    QWidget* actionsHint = nullptr;
    QStackedWidget* body = nullptr;
};

} // namespace tarn
