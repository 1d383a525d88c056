#include "app/PreviewWindow.h"

#include "menu/Icons.h"
#include "model/Entry.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace tarn {

namespace {
constexpr int side = 480;
constexpr qint64 textPreviewBytes = 16 * 1024;

QString describe(const QFileInfo& file, const QMimeType& type) {
    const QLocale locale;
    QStringList lines{QStringLiteral("<b>%1</b>").arg(file.fileName().toHtmlEscaped()), type.comment().toHtmlEscaped()};
    if (file.isFile()) lines << locale.formattedDataSize(file.size());
    if (file.birthTime().isValid())
        lines << "Created " + locale.toString(file.birthTime(), QLocale::ShortFormat);
    if (file.lastModified().isValid())
        lines << "Modified " + locale.toString(file.lastModified(), QLocale::ShortFormat);
    lines << tildePath(QUrl::fromLocalFile(file.absolutePath())).toHtmlEscaped();
    return lines.join("<br>");
}
} // namespace

PreviewWindow::PreviewWindow() {
    // A window of its own, titled with the file's name, that the user can move and close.
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    new QVBoxLayout(this);
}

void PreviewWindow::clear() {
    QLayoutItem* item;
    while ((item = layout()->takeAt(0))) {
        delete item->widget();
        delete item;
    }
}

void PreviewWindow::preview(const QUrl& url) {
    clear();
    const QFileInfo file(url.toLocalFile());
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
    setWindowTitle(file.fileName());

    QImageReader image(file.filePath());
    if (file.isFile() && image.canRead()) {
        QImage picture = image.read();
        if (picture.width() > side || picture.height() > side) // larger ones shrink, small ones stay
            picture = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        auto* label = new QLabel;
        label->setPixmap(QPixmap::fromImage(picture));
        label->setAlignment(Qt::AlignCenter);
        layout()->addWidget(label);
    } else if (file.isFile() && type.inherits(QStringLiteral("text/plain"))) {
        QFile text(file.filePath());
        auto* view = new QPlainTextEdit;
        view->setReadOnly(true);
        if (text.open(QIODevice::ReadOnly)) view->setPlainText(QString::fromUtf8(text.read(textPreviewBytes)));
        view->setMinimumSize(side, side * 3 / 4);
        view->setFocusPolicy(Qt::NoFocus); // Space and Escape reach the window
        layout()->addWidget(view);
    } else {
        auto* icon = new QLabel;
        icon->setPixmap(Icons::file(file.filePath()).pixmap(64, 64));
        icon->setAlignment(Qt::AlignCenter);
        layout()->addWidget(icon);
    }
    auto* details = new QLabel(describe(file, type));
    details->setAlignment(Qt::AlignCenter);
    layout()->addWidget(details);

    adjustSize();
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    activateWindow();
    setFocus();
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace tarn
