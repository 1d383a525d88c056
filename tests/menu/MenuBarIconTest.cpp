#include "AdwaitaTheme.h"
#include "TestMain.h"
#include "menu/MenuBarIcon.h"
#include "menu/MenuStyle.h"

#include <QImage>
#include <cmath>
#include <QPixmap>
#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTest>

using namespace tarn;

class MenuBarIconTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choicesInMenuOrder() {
        QStringList ids, titles;
        for (const auto& c : MenuBarIcon::choices()) ids << c.id, titles << c.title;
        QCOMPARE(ids, QStringList({"tarn", "stack", "folder", "code", "bolt"}));
        QCOMPARE(titles, QStringList({"Tarn Key", "Stack", "Folder", "Code", "Bolt"}));
        QVERIFY(!MenuBarIcon::choices().first().symbol);
        for (const auto& c : MenuBarIcon::choices().mid(1))
            QVERIFY(!MenuBarIcon::themeNames(*c.symbol).isEmpty());
    }

    void everyIdentifierGivesAnImage_data() {
        QTest::addColumn<QString>("id");
        for (const auto& c : MenuBarIcon::choices()) QTest::newRow(qPrintable(c.id)) << c.id;
        QTest::newRow("empty") << "";
        QTest::newRow("unknown") << "rocket";
        QTest::newRow("case matters") << "Folder";
    }

    void everyIdentifierGivesAnImage() {
        QFETCH(QString, id);
        const QIcon icon = MenuBarIcon::image(id);
        QVERIFY(!icon.isNull());
        QVERIFY(!icon.pixmap(18, 18).isNull());
    }

    // The drawn key: the outline and the letter are in opaque ink; the rounded corners and the
    // gap between outline and letter are not (the rim around the ink is of the other tone).
    void keyImageShape() {
        const QImage image =
            MenuBarIcon::keyImage().pixmap(QSize(180, 180)).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(180, 180));
        // The palette's text is dark here; the rim around the ink is light.
        auto inked = [&](qreal x, qreal y) {
            const QRgb pixel = image.pixel(int(x * 10), int(y * 10));
            return qAlpha(pixel) > 200 && qGray(pixel) < 80;
        };
        QVERIFY(inked(9.0, 1.75));   // top edge of the key cap
        QVERIFY(inked(1.75, 9.0));   // left edge
        QVERIFY(inked(16.25, 9.0));  // right edge
        QVERIFY(!inked(0.5, 0.5));   // outside the rounded corner
        QVERIFY(!inked(2.3, 2.3));   // the corner is rounded, not square
        QVERIFY(!inked(4.0, 9.0));   // between outline and letter
        QVERIFY(inked(8.75, 9.0));   // the stem of the letter
        QVERIFY(inked(8.75, 5.5));   // the dot at the top of the stem
        QVERIFY(inked(10.5, 12.5));  // the foot of the hook
        QVERIFY(inked(10.0, 7.75));  // the cross bar
        QVERIFY(inked(7.2, 7.75));   // the bar's left end
        QVERIFY(inked(12.25, 10.75)); // the dot at the end of the hook
        QVERIFY(MenuBarIcon::keyImage().isMask());
    }

    // At the sizes trays use the cap's frame lies on whole pixels: seen from each side through
    // the middle, its outermost pixel is solid ink, not a blend with the panel.
    void frameOnThePixelGrid_data() {
        QTest::addColumn<int>("size");
        for (int size : {16, 22, 24, 32}) QTest::addRow("%d px", size) << size;
    }
    void frameOnThePixelGrid() {
        QFETCH(int, size);
        const QImage image = MenuBarIcon::keyImage(QColor(Qt::white)).pixmap(QSize(size, size)).toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        const int middle = size / 2;
        for (const auto& [from, step] : {std::pair{QPoint(0, middle), QPoint(1, 0)}, std::pair{QPoint(size - 1, middle), QPoint(-1, 0)},
                                         std::pair{QPoint(middle, 0), QPoint(0, 1)}, std::pair{QPoint(middle, size - 1), QPoint(0, -1)}}) {
            QPoint at = from;
            while (image.rect().contains(at) && qAlpha(image.pixel(at)) == 0) at += step;
            QVERIFY(image.rect().contains(at));
            QCOMPARE(qAlpha(image.pixel(at)), 255);
        }
    }

    // Every style must read on light and on dark panels, at the sizes trays use: a fair share
    // of the icon laid over the panel stands out from it by at least 3:1, in one colour (the
    // theme's symbols recoloured like the key).
    void readsOnLightAndDarkPanels_data() {
        QTest::addColumn<QString>("style");
        QTest::addColumn<int>("size");
        QTest::addColumn<QColor>("panel");
        QTest::addColumn<bool>("panelKnown");
        for (const auto& choice : MenuBarIcon::choices())
            for (int size : {16, 24})
                for (const auto& [name, color] : {std::pair{"light", QColor(238, 238, 236)},
                                                  std::pair{"dark", QColor(24, 24, 24)},
                                                  std::pair{"mid grey", QColor(90, 90, 96)}}) {
                    QTest::addRow("%s, %d px, %s, panel unknown", qPrintable(choice.id), size, name)
                        << choice.id << size << color << false;
                    QTest::addRow("%s, %d px, %s, panel seen", qPrintable(choice.id), size, name)
                        << choice.id << size << color << true;
                }
    }

    void readsOnLightAndDarkPanels() {
        QFETCH(QString, style);
        QFETCH(int, size);
        QFETCH(QColor, panel);
        QFETCH(bool, panelKnown);
        if (!test::AdwaitaTheme::installed()) QSKIP("needs adwaita-icon-theme");
        const test::AdwaitaTheme theme; // its symbols come in the theme's own dark grey
        const QIcon icon = MenuBarIcon::image(style, panelKnown ? std::optional(panel) : std::nullopt);
        QImage shown(size, size, QImage::Format_ARGB32);
        shown.fill(panel);
        {
            QPainter painter(&shown);
            painter.drawPixmap(0, 0, icon.pixmap(size, size));
        }
        int standing = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) standing += MenuStyle::contrast(QColor(shown.pixel(x, y)), panel) >= 3.0;
        QVERIFY2(standing >= size * size / 8, qPrintable(QString("%1 of %2 pixels").arg(standing).arg(size * size)));
        // One colour: no pixel has a hue of its own.
        const QImage alone = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QRgb p = alone.pixel(x, y);
                if (qAlpha(p) > 128) QVERIFY(std::abs(qRed(p) - qBlue(p)) < 40 && std::abs(qGreen(p) - qBlue(p)) < 40);
            }
    }

    // A StatusNotifier panel gets the style by its theme name; a theme without it gives none.
    void themedImageByName() {
        if (!test::AdwaitaTheme::installed()) QSKIP("needs adwaita-icon-theme");
        const test::AdwaitaTheme theme;
        QCOMPARE(MenuBarIcon::themedImage("folder").name(), QString("folder-symbolic"));
        QVERIFY(MenuBarIcon::themedImage("code").isNull()); // Adwaita has no one-colour code symbol
        QVERIFY(MenuBarIcon::themedImage("tarn").isNull());  // not installed here
    }

    // The installed symbolic icon is the key in KDE's recolourable text class, drawn as the
    // key shape is.
    void symbolicSvgIsTheKeyInTheTextClass() {
        const QByteArray svg = MenuBarIcon::symbolicSvg();
        QVERIFY(svg.contains("class=\"ColorScheme-Text\"") && svg.contains("fill=\"currentColor\""));
        QBuffer buffer;
        buffer.setData(svg);
        QImageReader reader(&buffer, "svg");
        reader.setScaledSize(QSize(72, 72));
        const QImage drawn = reader.read();
        if (drawn.isNull()) QSKIP("needs Qt's SVG image plugin");
        QImage expected(72, 72, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QPainter painter(&expected);
        painter.scale(4, 4);
        painter.fillPath(MenuBarIcon::keyShape(), Qt::black);
        painter.end();
        int differ = 0, filled = 0;
        for (int y = 0; y < 72; ++y)
            for (int x = 0; x < 72; ++x) {
                const bool want = qAlpha(expected.pixel(x, y)) > 128, got = qAlpha(drawn.pixel(x, y)) > 128;
                filled += want;
                differ += want != got;
            }
        QVERIFY2(filled > 500 && differ * 10 < filled, qPrintable(QString("%1 of %2").arg(differ).arg(filled)));
    }
};

TARN_TEST(MenuBarIconTest)
#include "MenuBarIconTest.moc"
