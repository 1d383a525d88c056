#include "menu/MenuBarIcon.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <cmath>

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

// The key cap's frame, 1.75 in from the canvas's edges, with its edges moved onto whole device
// pixels and its line a whole number of them: at tray sizes (22 px is 1.22 pixels a unit) a
// frame between pixels reads soft.
void paintFrame(QPainter& painter, const QColor& color, qreal width) {
    const qreal scale = painter.worldTransform().m11();
    const qreal line = std::max<qreal>(1.0, std::round(width * scale));
    const qreal outer = std::round((1.75 - width / 2) * scale);
    const qreal side = std::round(canvas * scale) - 2 * outer - line;
    painter.setPen(QPen(color, line / scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const qreal start = (outer + line / 2) / scale;
    painter.drawRoundedRect(QRectF(start, start, side / scale, side / scale), 4.0, 4.0);
}

// The key drawn with one colour at the given line width; the dots grow with the line.
void paintKeyStrokes(QPainter& painter, const QColor& color, qreal width) {
    paintFrame(painter, color, width);
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(letterPath());

    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    const qreal radius = 2.7 / 2 + (width - 1.5) / 2;
    for (QPointF end : {strokeStart, strokeEnd}) painter.drawEllipse(end, radius, radius);
}

// "</>" for the Code style where the icon theme has no one-colour code symbol.
void paintCodeStrokes(QPainter& painter, const QColor& color, qreal width) {
    painter.setPen(QPen(color, width + 0.25, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(6.0, 4.5), QPointF(1.75, 9.0), QPointF(6.0, 13.5)}));
    painter.drawPolyline(QPolygonF({QPointF(12.0, 4.5), QPointF(16.25, 9.0), QPointF(12.0, 13.5)}));
    painter.drawLine(QPointF(10.25, 3.5), QPointF(7.75, 14.5));
}

using Strokes = void (*)(QPainter&, const QColor&, qreal);

bool isDark(const QColor& color) { return color.lightnessF() < 0.5; }

// A tray has no tinting on Linux. On a panel of known colour the ink is its opposite; on an
// unknown one it is the palette's text, with a rim of the opposite tone (see withRim).
QColor inkFor(std::optional<QColor> panel, QIcon::Mode mode) {
    const QPalette palette = QGuiApplication::palette();
    if (mode == QIcon::Disabled) return palette.color(QPalette::Disabled, QPalette::WindowText);
    if (mode == QIcon::Selected) return palette.color(QPalette::HighlightedText);
    if (panel) return isDark(*panel) ? QColor(255, 255, 255) : QColor(0, 0, 0);
    return palette.color(QPalette::WindowText);
}

QColor rimFor(const QColor& ink) {
    QColor rim = isDark(ink) ? QColor(255, 255, 255) : QColor(0, 0, 0);
    rim.setAlphaF(0.9f);
    return rim;
}

bool withRim(std::optional<QColor> panel, QIcon::Mode mode) { return !panel || mode != QIcon::Normal; }

// The drawn shape in one colour, with the rim solid enough to carry it on either kind of panel.
void paintDrawn(QPainter& painter, const QRectF& rect, Strokes strokes, const QColor& ink, bool rim) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect.topLeft());
    painter.scale(rect.width() / canvas, rect.height() / canvas);
    if (rim) strokes(painter, rimFor(ink), 3.5);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    strokes(painter, ink, rim ? 1.5 : 1.75);
    painter.restore();
}

QRect centredSquare(const QRect& rect) {
    const int side = std::min(rect.width(), rect.height());
    return QRect(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
}

// Pixmaps of a one-colour icon, for every size and mode, from how one rectangle is painted.
class InkIconEngine : public QIconEngine {
public:
    explicit InkIconEngine(std::optional<QColor> panel) : panel(panel) {}

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

protected:
    std::optional<QColor> panel;
};

// The key, or another drawn shape.
class DrawnIconEngine : public InkIconEngine {
public:
    DrawnIconEngine(Strokes strokes, std::optional<QColor> panel) : InkIconEngine(panel), strokes(strokes) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        paintDrawn(*painter, centredSquare(rect), strokes, inkFor(panel, mode), withRim(panel, mode));
    }
    QIconEngine* clone() const override { return new DrawnIconEngine(strokes, panel); }
    QString key() const override { return QStringLiteral("TarnDrawn"); }

private:
    Strokes strokes;
};

// A theme's symbol recoloured like the key: its shape in the ink, whatever colours the theme
// drew it in, so that it reads on the panel.
class SymbolIconEngine : public InkIconEngine {
public:
    SymbolIconEngine(QIcon symbol, std::optional<QColor> panel) : InkIconEngine(panel), symbol(std::move(symbol)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const QRect square = centredSquare(rect);
        const QColor ink = inkFor(panel, mode);
        // The symbol a little smaller, so that the rim has room inside the square.
        const int inset = withRim(panel, mode) ? std::max(1, square.width() / 12) : 0;
        const QRect inner = square.adjusted(inset, inset, -inset, -inset);
        const QImage shape = symbol.pixmap(inner.size()).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (withRim(panel, mode)) {
            const QImage rim = tinted(shape, rimFor(ink));
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    if (dx || dy) painter->drawImage(inner.topLeft() + QPoint(dx, dy), rim);
        }
        painter->drawImage(inner.topLeft(), tinted(shape, ink));
    }
    QIconEngine* clone() const override { return new SymbolIconEngine(symbol, panel); }
    QString key() const override { return QStringLiteral("TarnSymbol"); }

private:
    // `shape`'s coverage in one colour.
    static QImage tinted(QImage shape, const QColor& color) {
        QPainter painter(&shape);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(shape.rect(), color);
        return shape;
    }

    QIcon symbol;
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
        return {"code-context-symbolic"};
    if (symbol == QLatin1String("bolt.fill"))
        return {"thunderbolt-symbolic", "thunderbolt", "weather-storm"};
    return {};
}

QIcon keyImage(std::optional<QColor> panel) {
    QIcon icon(new DrawnIconEngine(paintKeyStrokes, panel));
    icon.setIsMask(true);
    return icon;
}

QIcon image(const QString& id, std::optional<QColor> panel) {
    for (const MenuBarIconChoice& row : choices()) {
        if (row.id != id) continue;
        if (!row.symbol) break;
        for (const QString& name : themeNames(*row.symbol)) {
            if (!QIcon::hasThemeIcon(name)) continue;
            QIcon icon(new SymbolIconEngine(QIcon::fromTheme(name), panel));
            icon.setIsMask(true);
            return icon;
        }
        if (row.id == QLatin1String("code")) {
            QIcon icon(new DrawnIconEngine(paintCodeStrokes, panel));
            icon.setIsMask(true);
            return icon;
        }
        break;
    }
    return keyImage(panel);
}

QIcon themedImage(const QString& id) {
    QString name = QStringLiteral("tarn-symbolic");
    for (const MenuBarIconChoice& row : choices())
        if (row.id == id && row.symbol)
            for (const QString& candidate : themeNames(*row.symbol))
                if (candidate.endsWith(QLatin1String("-symbolic")) && QIcon::hasThemeIcon(candidate)) {
                    name = candidate;
                    break;
                }
    return QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : QIcon();
}

QPainterPath keyShape() {
    QPainterPathStroker stroker;
    stroker.setWidth(1.75);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(1.75, 1.75, 14.5, 14.5), 4.0, 4.0);
    QPainterPath shape = stroker.createStroke(outline).united(stroker.createStroke(letterPath()));
    const qreal radius = 2.7 / 2 + (1.75 - 1.5) / 2;
    for (QPointF end : {strokeStart, strokeEnd}) {
        QPainterPath dot;
        dot.addEllipse(end, radius, radius);
        shape = shape.united(dot);
    }
    return shape.simplified();
}

QByteArray symbolicSvg() {
    const QPainterPath shape = keyShape();
    QByteArray data;
    auto point = [&data](qreal x, qreal y) { data += QByteArray::number(x, 'f', 3) + ' ' + QByteArray::number(y, 'f', 3) + ' '; };
    for (int i = 0; i < shape.elementCount(); ++i) {
        const QPainterPath::Element element = shape.elementAt(i);
        if (element.isMoveTo()) data += "M ";
        else if (element.isLineTo()) data += "L ";
        else if (element.isCurveTo()) data += "C ";
        point(element.x, element.y);
    }
    return QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 18 18\">\n"
           "  <title>Tarn</title>\n"
           "  <style type=\"text/css\" id=\"current-color-scheme\">.ColorScheme-Text { color: #bebebe; }</style>\n"
           "  <path class=\"ColorScheme-Text\" fill=\"currentColor\" fill-rule=\"") +
           (shape.fillRule() == Qt::WindingFill ? "nonzero" : "evenodd") + "\" d=\"" + data.trimmed() + "\"/>\n</svg>\n";
}

} // namespace tarn::MenuBarIcon
