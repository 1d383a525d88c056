#include "platform/linux/StatusNotifierItem.h"

#include "platform/linux/ActivationToken.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QtEndian>

namespace tarn {

StatusNotifierItem::StatusNotifierItem(const QString& menuPath, bool itemIsMenu, QObject* parent)
    : QObject(parent), menuPath(menuPath), isMenu(itemIsMenu) {
    registerDBusTrayTypes();
}

void StatusNotifierItem::setIcon(const QIcon& themed, const QIcon& drawn) {
    themedName = themed.isNull() ? QString() : themed.name();
    pixmaps = pixmapsOf(drawn);
    Q_EMIT NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& text) {
    if (tip == text) return;
    tip = text;
    Q_EMIT NewToolTip();
}

QString StatusNotifierItem::iconThemePath() const { return builtIcons(); }

QString StatusNotifierItem::builtIcons() {
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/packaging/icons");
    return QDir(built + QStringLiteral("/hicolor/symbolic/apps")).exists() ? built : QString();
}

StatusToolTip StatusNotifierItem::toolTip() const { return {QString(), {}, tip, QString()}; }

StatusIconPixmaps StatusNotifierItem::pixmapsOf(const QIcon& icon) {
    StatusIconPixmaps made;
    if (icon.isNull()) return made;
    for (int side : {16, 22, 24, 32, 48, 64, 96}) {
        const QImage image = icon.pixmap(QSize(side, side), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull()) continue;
        QByteArray bytes(qsizetype(image.width()) * image.height() * 4, Qt::Uninitialized);
        auto* out = reinterpret_cast<quint32*>(bytes.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) *out++ = qToBigEndian(line[x]);
        }
        made << StatusIconPixmap{image.width(), image.height(), bytes};
    }
    return made;
}

void StatusNotifierItem::Activate(int x, int y) {
    if (activated) activated(QPoint(x, y));
}

void StatusNotifierItem::SecondaryActivate(int x, int y) { Activate(x, y); }

void StatusNotifierItem::ContextMenu(int x, int y) { Activate(x, y); }

void StatusNotifierItem::Scroll(int delta, const QString& orientation) { (void)delta, (void)orientation; }

// KDE hands the token it would activate a window with; Qt's Wayland plugin takes it from the
// environment at the next activation.
void StatusNotifierItem::ProvideXdgActivationToken(const QString& token) { ActivationToken::offer(token); }

} // namespace tarn
