#include "platform/linux/LinuxDialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace tarn {

namespace {
// A dialog of an application without windows must raise itself, or it opens behind others.
void bringForward(QWidget& dialog) {
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
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
    bringForward(box);
    box.exec();
}

std::optional<QList<QUrl>> LinuxDialogs::openPanel(const OpenPanelRequest& request) {
    QFileDialog panel;
    panel.setWindowTitle(request.title);
    panel.setLabelText(QFileDialog::Accept, request.prompt);
    panel.setFileMode(request.directoriesOnly ? QFileDialog::Directory
                      : request.multipleSelection ? QFileDialog::ExistingFiles
                                                  : QFileDialog::ExistingFile);
    panel.setOption(QFileDialog::ShowDirsOnly, request.directoriesOnly);
    // Qt's own dialog, because it is the one that allows choosing several folders at once.
    panel.setOption(QFileDialog::DontUseNativeDialog, request.directoriesOnly);
    if (request.directoriesOnly && request.multipleSelection) {
        for (auto* view : panel.findChildren<QAbstractItemView*>())
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    if (!request.message.isEmpty()) panel.setToolTip(request.message);
    bringForward(panel);
    if (panel.exec() != QDialog::Accepted) return std::nullopt;
    return panel.selectedUrls();
}

} // namespace tarn
