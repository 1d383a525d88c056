#include "TestMain.h"
#include "menu/MenuBarIcon.h"

#include <QImage>
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
    // gap between outline and letter are not (the faint rim around the ink is not opaque).
    void keyImageShape() {
        const QImage image =
            MenuBarIcon::keyImage().pixmap(QSize(180, 180)).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(180, 180));
        auto inked = [&](qreal x, qreal y) { return qAlpha(image.pixel(int(x * 10), int(y * 10))) > 200; };
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
        QVERIFY(MenuBarIcon::keyImage().isMask());
    }
};

TARN_TEST(MenuBarIconTest)
#include "MenuBarIconTest.moc"
