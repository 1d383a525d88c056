#include "TestMain.h"
#include "model/LocalizedCompare.h"

#include <QTest>
#include <clocale>

using namespace tarn;

class LocalizedCompareTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { std::setlocale(LC_ALL, "C"); }

    void order_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("digits by value") << "folder9" << "folder10" << -1;
        QTest::newRow("leading zeros") << "v007" << "v8" << -1;
        QTest::newRow("case ignored") << "alpha" << "Zeta" << -1;
        QTest::newRow("equal but case") << "Readme" << "README" << 0;
        QTest::newRow("prefix first") << "app" << "apple" << -1;
        QTest::newRow("numbers longer than 64 bits")
            << "x99999999999999999999999" << "x100000000000000000000000" << -1;
        QTest::newRow("digits before letters") << "1a" << "a" << -1;
        QTest::newRow("later digit run decides") << "a2b10" << "a2b9" << 1;
        QTest::newRow("accent sorts with its letter") << "élan" << "zeta" << -1;
        QTest::newRow("accent does not outrank a later letter") << "élan" << "elbe" << -1;
        QTest::newRow("capital accent") << "Zürich" << "Zz" << -1;
        QTest::newRow("composed and decomposed are one name") << "caf\u00e9" << "cafe\u0301" << 0;
        QTest::newRow("plain before accented when nothing else differs") << "elan" << "élan" << -1;
        QTest::newRow("accent and case") << "Éclair" << "eclair" << 1;
        QTest::newRow("accent beside digits") << "ä10" << "a9" << 1;
    }

    void order() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const auto normalized = [](int v) { return (v > 0) - (v < 0); };
        QCOMPARE(normalized(localizedStandardCompare(a, b)), sign);
        QCOMPARE(normalized(localizedStandardCompare(b, a)), -sign);
    }
};

TARN_TEST(LocalizedCompareTest)
#include "LocalizedCompareTest.moc"
