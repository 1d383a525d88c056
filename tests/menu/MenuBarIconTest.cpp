#include "TestMain.h"
#include "menu/MenuBarIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
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

    // The key must read on light and on dark panels, at the sizes trays use: where the letter
    // is, the icon laid over the panel differs clearly from the bare panel.
    void readsOnLightAndDarkPanels_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<QColor>("panel");
        QTest::addColumn<bool>("panelKnown");
        for (int size : {16, 22, 24}) {
            for (const auto& [name, color] : {std::pair{"light", QColor(238, 238, 236)},
                                              std::pair{"dark", QColor(24, 24, 24)},
                                              std::pair{"mid grey", QColor(90, 90, 96)}}) {
                QTest::addRow("%d px, %s, panel unknown", size, name) << size << color << false;
                QTest::addRow("%d px, %s, panel seen", size, name) << size << color << true;
            }
        }
    }

    void readsOnLightAndDarkPanels() {
        QFETCH(int, size);
        QFETCH(QColor, panel);
        QFETCH(bool, panelKnown);
        const QIcon icon = MenuBarIcon::image("tarn", panelKnown ? std::optional(panel) : std::nullopt);
        QImage shown(size, size, QImage::Format_ARGB32);
        shown.fill(panel);
        {
            QPainter painter(&shown);
            painter.drawPixmap(0, 0, icon.pixmap(size, size));
        }
        // The strongest difference from the panel around the stem, the bar and the outline.
        auto contrast = [&](qreal x, qreal y) {
            int best = 0;
            const int cx = int(x * size / 18.0), cy = int(y * size / 18.0);
            for (int dx = -2; dx <= 2; ++dx)
                for (int dy = -2; dy <= 2; ++dy)
                    best = std::max(best, std::abs(qGray(shown.pixel(cx + dx, cy + dy)) - qGray(panel.rgb())));
            return best;
        };
        const int required = panelKnown ? 150 : 110;
        QVERIFY2(contrast(8.75, 9.5) >= required, "stem");
        QVERIFY2(contrast(10.5, 7.75) >= required, "cross bar");
        QVERIFY2(contrast(1.75, 9.0) >= required, "outline");
    }
};

TARN_TEST(MenuBarIconTest)
#include "MenuBarIconTest.moc"
