#include "TestMain.h"
#include "quickopen/Fuzzy.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tarn;

class FuzzyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void score_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<int>("expected"); // -1: no score
        QTest::newRow("equal but case") << "ab" << "AB" << 1000;
        QTest::newRow("prefix") << "app" << "apple" << 895;
        QTest::newRow("prefix before substring") << "ba" << "bab" << 897;
        QTest::newRow("inside a word") << "ple" << "apple" << 648;
        QTest::newRow("after a hyphen") << "bar" << "foo-bar" << 796;
        QTest::newRow("after a space") << "bar" << "foo bar" << 796;
        QTest::newRow("after a digit is inside a word") << "x" << "1x" << 649;
        QTest::newRow("scattered with one gap") << "fb" << "foo-bar" << 379;
        QTest::newRow("query space skipped") << "fo o" << "foo" << 400;
        QTest::newRow("query tab is not skipped") << "f\to" << "foo" << -1;
        QTest::newRow("no match") << "xyz" << "foo" << -1;
        QTest::newRow("letters out of order") << "ba" << "ab" << -1;
        QTest::newRow("empty query") << "" << "foo" << -1;
        QTest::newRow("empty candidate") << "a" << "" << -1;
        QTest::newRow("long candidate prefix") << "a" << "a" + QString(149, 'b') << 800;
        QTest::newRow("late substring capped") << "zz" << QString(120, 'a') + "-zz" << 700;
        QTest::newRow("long scattered")
            << "ac" << "a" + QString(150, 'b') + "c" << 400 - 20 - 25;
        QTest::newRow("many gaps go negative") << "abcdefghijklmnopqrstu"
                                               << "a.b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r.s.t.u"
                                               << 400 - 20 * 20 - 41 / 4;
        QTest::newRow("self test: ovn") << "ovn" << "oval-note" << 378;
        QTest::newRow("self test: note") << "note" << "oval-note" << 795;
        // User-perceived characters.
        QTest::newRow("accented capital") << "école" << "ÉCOLE" << 1000;
        QTest::newRow("composed equals decomposed") << "cafe\u0301" << "caf\u00e9s" << 895;
        QTest::newRow("base letter does not match accented")
            << "cafe" << "cafe\u0301" << -1;
        QTest::newRow("emoji counts as one") << "x" << "👩‍👩‍👧x" << 799;
        QTest::newRow("after a letter of another script") << "b" << "日b" << 649;
        QTest::newRow("full lower-case mapping") << "i\u0307" << "\u0130" << 1000;
        QTest::newRow("CR LF is one character") << "b" << "a\r\nb" << 798;
    }

    void score() {
        QFETCH(QString, query);
        QFETCH(QString, candidate);
        QFETCH(int, expected);
        QCOMPARE(Fuzzy::score(query, candidate).value_or(-1), expected);
        QCOMPARE(Fuzzy::scoreUnicode(query, candidate).value_or(-1), expected);
        QCOMPARE(Fuzzy::score(Fuzzy::Prepared(query), Fuzzy::Prepared(candidate)).value_or(-1), expected);
    }

    // The fast path must never disagree with the general one.
    void fastPathAgreesWithGeneralPath() {
        QRandomGenerator random(20261207);
        const QString ascii = "abcAB -_./1 xyzXYZ\r\n\t";
        const QStringList other{"é", "e\u0301", "ß", "日", "👍", "İ", "Ω"};
        auto make = [&](int length, bool mixed) {
            QString s;
            for (int i = 0; i < length; ++i) {
                if (mixed && random.bounded(5) == 0) s += other[random.bounded(other.size())];
                else s += ascii[random.bounded(ascii.size())];
            }
            return s;
        };
        for (int round = 0; round < 20000; ++round) {
            const bool mixed = round % 4 == 0;
            // Short queries and candidates meet every band often, repeated letters included.
            const QString q = make(1 + random.bounded(round % 2 ? 2 : 4), mixed);
            const QString c = make(random.bounded(round % 2 ? 8 : 30), mixed);
            const auto fast = Fuzzy::score(q, c);
            const auto general = Fuzzy::scoreUnicode(q, c);
            const auto prepared = Fuzzy::score(Fuzzy::Prepared(q), Fuzzy::Prepared(c));
            if (fast != general || prepared != general)
                QFAIL(qPrintable(QString("'%1' in '%2': %3, %4 vs %5")
                                     .arg(q, c)
                                     .arg(fast.value_or(-1))
                                     .arg(prepared.value_or(-1))
                                     .arg(general.value_or(-1))));
        }
    }
};

TARN_TEST(FuzzyTest)
#include "FuzzyTest.moc"
