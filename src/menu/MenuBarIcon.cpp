#include "menu/MenuBarIcon.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace tarn::MenuBarIcon {

namespace {

constexpr qreal canvas = 18.0;

const QPointF strokeStart(8.75, 5.5), strokeEnd(12.25, 10.75);

// The letter as one open stroke: down the stem from the top to the cross bar, out along the
// bar to its right end, back across to its left end, back to the stem, down to the foot and
// round a half-circle hook to the right. The bar is drawn over itself, so the stroke never
// lifts and has exactly two ends, each with a dot.
QPainterPath letterPath() {
    QPainterPath path;
    path.moveTo(strokeStart);
    path.lineTo(8.75, 7.75);
    path.lineTo(11.75, 7.75);
    path.lineTo(7.0, 7.75);
    path.lineTo(8.75, 7.75);
    path.lineTo(8.75, 10.75);
    path.arcTo(QRectF(8.75, 9.0, 3.5, 3.5), 180.0, 180.0); // radius 1.75, through y 12.5
    return path;
}

// The key drawn with one colour at the given line width; the dots grow with the line.
void paintStrokes(QPainter& painter, const QColor& color, qreal width) {
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(1.75, 1.75, 14.5, 14.5), 4.0, 4.0);
    painter.drawPath(letterPath());

    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const qreal radius = 2.7 / 2 + (width - 1.5) / 2;
    for (QPointF end : {strokeStart, strokeEnd}) painter.drawEllipse(end, radius, radius);
}

bool isDark(const QColor& color) { return color.lightnessF() < 0.5; }

// A tray has no tinting on Linux. On a panel of known colour the ink is its opposite; on an
// unknown one the ink gets a rim of the opposite tone, solid enough to carry the shape on
// either kind of panel.
void paintKey(QPainter& painter, const QRectF& rect, const QColor& ink, bool withRim) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.topLeft());
    painter.scale(rect.width() / canvas, rect.height() / canvas);
    if (withRim) {
        QColor rim = isDark(ink) ? QColor(255, 255, 255) : QColor(0, 0, 0);
        rim.setAlphaF(0.9f);
        paintStrokes(painter, rim, 3.5);
    }
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    paintStrokes(painter, ink, withRim ? 1.5 : 1.75);
    painter.restore();
}

class KeyIconEngine : public QIconEngine {
public:
    explicit KeyIconEngine(std::optional<QColor> panel) : panel(panel) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const QPalette palette = QGuiApplication::palette();
        QColor ink = palette.color(QPalette::WindowText);
        if (panel) ink = isDark(*panel) ? QColor(255, 255, 255) : QColor(0, 0, 0);
        if (mode == QIcon::Disabled) ink = palette.color(QPalette::Disabled, QPalette::WindowText);
        if (mode == QIcon::Selected) ink = palette.color(QPalette::HighlightedText);
        // Keep the key square and centred in whatever rectangle we are given.
        const qreal side = std::min(rect.width(), rect.height());
        const QRectF square(rect.x() + (rect.width() - side) / 2,
                            rect.y() + (rect.height() - side) / 2, side, side);
        paintKey(*painter, square, ink, !panel || mode != QIcon::Normal);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(18, 18), QSize(22, 22), QSize(24, 24), QSize(32, 32),
                QSize(36, 36), QSize(48, 48), QSize(64, 64)};
    }

    QIconEngine* clone() const override { return new KeyIconEngine(panel); }
    QString key() const override { return QStringLiteral("TarnKey"); }

private:
    std::optional<QColor> panel;
};

} // namespace

const QList<MenuBarIconChoice>& choices() {
    static const QList<MenuBarIconChoice> rows{
        {"tarn", "Tarn Key", std::nullopt},
        {"stack", "Stack", QString("square.stack.3d.up.fill")},
        {"folder", "Folder", QString("folder.fill")},
        {"code", "Code", QString("chevron.left.forwardslash.chevron.right")},
        {"bolt", "Bolt", QString("bolt.fill")},
    };
    return rows;
}

QStringList themeNames(const QString& symbol) {
    if (symbol == QLatin1String("square.stack.3d.up.fill"))
        return {"view-paged-symbolic", "view-paged", "layer-visible-on", "edit-copy"};
    if (symbol == QLatin1String("folder.fill")) return {"folder-symbolic", "folder"};
    if (symbol == QLatin1String("chevron.left.forwardslash.chevron.right"))
        return {"code-context-symbolic", "code-context", "text-x-script"};
    if (symbol == QLatin1String("bolt.fill"))
        return {"thunderbolt-symbolic", "thunderbolt", "weather-storm"};
    return {};
}

QIcon keyImage(std::optional<QColor> panel) {
    QIcon icon(new KeyIconEngine(panel));
    icon.setIsMask(true);
    return icon;
}

QIcon image(const QString& id, std::optional<QColor> panel) {
    for (const MenuBarIconChoice& row : choices()) {
        if (row.id != id) continue;
        if (!row.symbol) break;
        for (const QString& name : themeNames(*row.symbol)) {
            if (!QIcon::hasThemeIcon(name)) continue;
            QIcon icon = QIcon::fromTheme(name);
            icon.setIsMask(true);
            return icon;
        }
        break;
    }
    return keyImage(panel);
}

} // namespace tarn::MenuBarIcon
