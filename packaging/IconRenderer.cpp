// Draws Tarn's application icon for the hicolor theme with the tray icon's own code: PNGs of
// the usual sizes and one scalable SVG.
//
//   tarn_icons <output folder>   writes <folder>/<size>x<size>/apps/tarn.png, scalable/apps/tarn.svg
//                                and symbolic/apps/tarn-symbolic.svg
#include "menu/MenuBarIcon.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

namespace {
constexpr int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr int svgSide = 64;

bool writePng(const QIcon& icon, const QString& root, int side) {
    const QString folder = QString("%1/%2x%2/apps").arg(root).arg(side);
    return QDir().mkpath(folder) && icon.pixmap(side, side).save(folder + "/tarn.png");
}

bool writeSvg(const QIcon& icon, const QString& root) {
    const QString folder = root + "/scalable/apps";
    if (!QDir().mkpath(folder)) return false;
    QSvgGenerator svg;
    svg.setFileName(folder + "/tarn.svg");
    svg.setSize(QSize(svgSide, svgSide));
    svg.setViewBox(QRect(0, 0, svgSide, svgSide));
    svg.setTitle("Tarn");
    QPainter painter(&svg);
    icon.paint(&painter, QRect(0, 0, svgSide, svgSide));
    return painter.end();
}
// The one-colour icon StatusNotifier panels recolour: one filled shape (panels fill shapes
// with their own colour and would ignore a stroke).
bool writeSymbolic(const QString& root) {
    const QString folder = root + "/symbolic/apps";
    QFile svg(folder + "/tarn-symbolic.svg");
    return QDir().mkpath(folder) && svg.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           svg.write(tarn::MenuBarIcon::symbolicSvg()) > 0;
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarn_icons <output folder>\n");
        return 2;
    }
    // The key with its rim, as on a panel of unknown colour: it reads on light and dark menus.
    const QIcon icon = tarn::MenuBarIcon::keyImage();
    bool written = writeSvg(icon, argv[1]) && writeSymbolic(argv[1]);
    for (int side : sizes) written = writePng(icon, argv[1], side) && written;
    if (!written) std::fprintf(stderr, "tarn_icons: could not write the icons under %s\n", argv[1]);
    return written ? 0 : 1;
}
