#include "quickopen/QuickOpenPanel.h"

#include "platform/FloatingWindow.h"
#include "quickopen/QuickOpenController.h"
#include "quickopen/QuickOpenView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QVBoxLayout>

namespace tarn {

QuickOpenPanel::QuickOpenPanel(QuickOpenController& controller)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      controller(controller), content(new QuickOpenView(controller.model(), controller, this)) {
    setWindowTitle(QStringLiteral("Quick Open"));
    setObjectName(QStringLiteral("QuickOpenPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1); // inside the border
    layout->addWidget(content);
}

bool QuickOpenPanel::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && isVisible()) controller.windowDidResignKey();
    return QWidget::event(event);
}

// The display server's word that the panel has the focus: the keys held since the hotkey are
// let go to it. And Qt waits a moment after the panel loses the focus before it counts it as
// inactive; shown again within that moment, the panel gets the focus back without being
// activated, and would not close when the user goes elsewhere: activated here instead.
bool QuickOpenPanel::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (FloatingWindow::gainsFocus(eventType, message)) {
        controller.windowDidBecomeKey();
        QMetaObject::invokeMethod(this, [this] {
            if (isVisible() && !isActiveWindow() && QGuiApplication::focusWindow() == windowHandle())
                QApplication::setActiveWindow(this);
        }, Qt::QueuedConnection);
    }
    return QWidget::nativeEvent(eventType, message, result);
}

void QuickOpenPanel::closeEvent(QCloseEvent* event) {
    // The window manager's close keeps the panel for the next opening, like Escape.
    event->ignore();
    controller.close();
}

void QuickOpenPanel::centreInside(QSize size) {
    centred = size;
    setAttribute(Qt::WA_TranslucentBackground);
}

QRect QuickOpenPanel::panelRect() const {
    if (!centred) return rect();
    return QRect(QPoint((width() - centred->width()) / 2, (height() - centred->height()) / 2), *centred);
}

void QuickOpenPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!centred) return;
    const QRect panel = panelRect();
    layout()->setContentsMargins(panel.left() + 1, panel.top() + 1, width() - panel.right(), height() - panel.bottom());
    setMask(QRegion(panel));
    update(); // what was drawn where the panel was before is cleared
}

void QuickOpenPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect panel = panelRect();
    painter.fillRect(panel, palette().window());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(panel.adjusted(0, 0, -1, -1));
}

void QuickOpenPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !centred) dragOffset = event->globalPosition().toPoint() - pos();
}

void QuickOpenPanel::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset) move(event->globalPosition().toPoint() - *dragOffset);
}

void QuickOpenPanel::mouseReleaseEvent(QMouseEvent*) { dragOffset.reset(); }

} // namespace tarn
