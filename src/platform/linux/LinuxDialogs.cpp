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
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tarn {

namespace {
// A dialog of an application without windows must raise itself, or it opens behind others.
void bringForward(QWidget& dialog) {
    // A title and a close button: a question is not minimised or maximised.
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint);
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
// Qt's dialog chooses files or folders, never both: in its files mode the button opens a
// selected folder instead of choosing it. Here the button chooses what is selected, folders
// included; a double click still opens a folder.
class FileOrFolderDialog : public QFileDialog {
public:
    FileOrFolderDialog(QWidget* parent, const QString& directory, const QString& prompt)
        : QFileDialog(parent, QString(), directory) {
        setOption(QFileDialog::DontUseNativeDialog, true);
        setLabelText(QFileDialog::Accept, prompt);
        // Qt renames the button "Open" while a folder is selected, here it chooses the folder:
        // its name is put back after Qt's relabelling, which follows a typed name or a selection.
        const auto keepPrompt = [this, prompt] {
            auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            QPushButton* choose = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
            if (choose && fileMode() != QFileDialog::Directory) choose->setText(prompt);
        };
        if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            connect(name, &QLineEdit::textChanged, this, keepPrompt, Qt::QueuedConnection);
        connect(this, &QFileDialog::currentChanged, this, keepPrompt, Qt::QueuedConnection);
    }

    void accept() override {
        const QStringList chosen = selectedFiles();
        const bool allThere = !chosen.isEmpty() && std::all_of(chosen.begin(), chosen.end(), [](const QString& path) {
            return QFileInfo::exists(path);
        });
        if (fileMode() != QFileDialog::Directory && allThere && QFileInfo(chosen.first()).isDir()) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};
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
    auto* chooser = new FileOrFolderDialog(&panel, request.directory.isEmpty() ? QDir::homePath() : request.directory,
                                           request.prompt);
    chooser->setWindowFlags(Qt::Widget);
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
