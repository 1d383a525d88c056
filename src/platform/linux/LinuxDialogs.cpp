#include "platform/linux/LinuxDialogs.h"

#include "platform/linux/ShortcutPicker.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarn {

namespace {
// A dialog of an application without windows must raise itself, or it opens behind others.
void bringForward(QWidget& dialog) {
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

// What a box says holds names, paths, URLs and other programs' output: shown as written, never
// as markup, so a file named "<img src=…>" shows those letters and no link in it can be followed.
void showPlainly(QWidget& dialog) {
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) continue;
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
    }
}
} // namespace

void LinuxDialogs::activate() {
    if (QWidget* active = QApplication::activeWindow()) {
        active->raise();
        active->activateWindow();
    }
}

void LinuxDialogs::showWarning(const QString& message, const QString& informative) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tarn"), message, QMessageBox::Ok);
    box.setInformativeText(informative);
    showPlainly(box);
    bringForward(box);
    box.exec();
}

int LinuxDialogs::ask(const QString& message, const QString& informative,
                      const QStringList& buttons) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarn"), message);
    box.setInformativeText(informative);
    QList<QAbstractButton*> added;
    for (const QString& title : buttons) {
        // Escape and the window's close button mean "Cancel", wherever it stands.
        const bool cancels = title == QLatin1String("Cancel");
        added << box.addButton(title, cancels ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (cancels) box.setEscapeButton(added.last());
    }
    if (!added.isEmpty()) box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
    showPlainly(box);
    bringForward(box);
    box.exec();
    return static_cast<int>(added.indexOf(box.clickedButton()));
}

std::optional<QList<QUrl>> LinuxDialogs::openPanel(const OpenPanelRequest& request) {
    // Qt's own file dialog, embedded under the message: it is the one that can choose several
    // folders at once, and it has no place for a message of its own.
    QDialog panel;
    panel.setWindowTitle(request.title);
    auto* layout = new QVBoxLayout(&panel);
    if (!request.message.isEmpty()) {
        auto* message = new QLabel(request.message, &panel);
        message->setTextFormat(Qt::PlainText);
        message->setWordWrap(true);
        layout->addWidget(message);
    }
    auto* chooser = new QFileDialog(&panel, QString(), request.directory.isEmpty() ? QDir::homePath() : request.directory);
    chooser->setWindowFlags(Qt::Widget);
    chooser->setOption(QFileDialog::DontUseNativeDialog, true);
    chooser->setLabelText(QFileDialog::Accept, request.prompt);
    chooser->setFileMode(request.directoriesOnly     ? QFileDialog::Directory
                         : request.multipleSelection ? QFileDialog::ExistingFiles
                                                     : QFileDialog::ExistingFile);
    chooser->setOption(QFileDialog::ShowDirsOnly, request.directoriesOnly);
    if (request.directoriesOnly && request.multipleSelection) {
        for (auto* view : chooser->findChildren<QAbstractItemView*>())
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    layout->addWidget(chooser);
    QObject::connect(chooser, &QFileDialog::finished, &panel, &QDialog::done);
    // Nothing else of Tarn answers while it is up: not the tray menu, not a second panel.
    panel.setWindowModality(Qt::ApplicationModal);
    bringForward(panel);
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    return chooser->selectedUrls();
}

std::optional<FormAnswer> LinuxDialogs::form(const FormRequest& request) {
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Tarn"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->setSpacing(6);
    auto* title = new QLabel("<b>" + request.title.toHtmlEscaped() + "</b>", &dialog);
    layout->addWidget(title);
    if (!request.message.isEmpty()) {
        auto* message = new QLabel(request.message, &dialog);
        message->setTextFormat(Qt::PlainText);
        message->setWordWrap(true);
        layout->addWidget(message);
    }
    QList<QLineEdit*> edits;
    for (const auto& [label, value] : request.fields) {
        layout->addWidget(new QLabel(label, &dialog));
        auto* edit = new QLineEdit(value, &dialog);
        edit->setMinimumWidth(300);
        layout->addWidget(edit);
        edits << edit;
    }
    QComboBox* popup = nullptr;
    if (request.popup) {
        layout->addWidget(new QLabel(request.popup->first, &dialog));
        popup = new QComboBox(&dialog);
        popup->addItems(request.popup->second);
        layout->addWidget(popup);
    }
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* confirm = buttons->addButton(request.button, QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    confirm->setDefault(true);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.setWindowModality(Qt::ApplicationModal);
    bringForward(dialog);
    if (!edits.isEmpty()) edits.first()->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    FormAnswer answer;
    for (QLineEdit* edit : edits) answer.values << edit->text().trimmed();
    answer.choice = popup ? std::max(0, popup->currentIndex()) : 0;
    return answer;
}

std::optional<QStringList> LinuxDialogs::pickShortcuts(const QString& title, const QList<PickerGroup>& groups,
                                                       const QStringList& selected) {
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Tarn"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("<b>" + title.toHtmlEscaped() + "</b>", &dialog));
    layout->addWidget(new QLabel(QStringLiteral("Tick the shortcuts to show in this folder. Reorder them later with Arrange."), &dialog));
    auto* picker = new ShortcutPicker(groups, selected);
    layout->addWidget(picker);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    save->setDefault(true);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.setWindowModality(Qt::ApplicationModal);
    bringForward(dialog);
    picker->search()->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return picker->chosenIDs();
}

} // namespace tarn
