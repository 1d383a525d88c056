#include "AdwaitaTheme.h"
#include "TestMain.h"
#include "menu/Icons.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPalette>
#include <QTest>

using namespace tarn;

class IconsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The menus' symbols are the theme's one-colour ones, in the menus' text colour: dark on a
    // light menu, light on a dark one. A folder keeps the theme's colours; a file too, but on a
    // dark menu, where the themes' white pages glare.
    void symbolsInTheTextColour_data() {
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("window");
        QTest::newRow("light menu") << QColor(Qt::black) << QColor(Qt::white);
        QTest::newRow("dark menu") << QColor(Qt::white) << QColor(40, 40, 40);
    }
    void symbolsInTheTextColour() {
        QFETCH(QColor, text);
        QFETCH(QColor, window);
        if (!test::AdwaitaTheme::installed()) QSKIP("needs adwaita-icon-theme");
        const test::AdwaitaTheme theme;
        const QPalette before = QApplication::palette();
        QPalette palette = before;
        palette.setColor(QPalette::Text, text);
        palette.setColor(QPalette::Window, window);
        QApplication::setPalette(palette);
        const bool dark = window.lightness() < 128;
        QCOMPARE(Icons::file("/notes/todo.txt").name().endsWith("-symbolic"), dark);
        QList<QIcon> icons;
        for (const char* name : {"clock", "camera.viewfinder", "externaldrive", "gearshape", "plus"}) icons << Icons::symbol(name);
        if (dark) icons << Icons::file("/notes/photo.png");
        for (const QIcon& icon : icons) {
            const QString name = icon.name();
            QVERIFY2(icon.name().endsWith("-symbolic"), qPrintable(icon.name()));
            const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
            int inked = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (pixel.alpha() < 128) continue;
                    ++inked;
                    QCOMPARE(pixel.rgb(), text.rgb());
                }
            }
            QVERIFY2(inked > 10, qPrintable(name));
        }
        QVERIFY(!Icons::symbol("folder").name().endsWith("-symbolic"));
        QVERIFY(!Icons::file(QDir::tempPath()).name().endsWith("-symbolic"));
        QApplication::setPalette(before);
    }
};

TARN_TEST(IconsTest)
#include "IconsTest.moc"
