#include "TestMain.h"
#include "platform/linux/ShortcutPicker.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace tarn;

class ShortcutPickerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filterCountAndChoice() {
        ShortcutPicker picker({{"Ops", {{"d1", "Deploy"}, {"b1", "Build"}}},
                               {"Empty", {}},
                               {"No Folder", {{"l1", "Lights"}}}},
                              {"b1", "gone"});
        picker.show();
        QCOMPARE(picker.headers().size(), 2); // a group without shortcuts gets no header
        QCOMPARE(picker.headers()[0]->text(), QString("OPS"));
        QCOMPARE(picker.countText(), QString("1 selected"));
        QCOMPARE(picker.chosenIDs(), QStringList{"b1"});

        QTest::keyClicks(picker.search(), "  LIG ");
        QVERIFY(!picker.headers()[0]->isVisible()); // no match in Ops
        QVERIFY(picker.headers()[1]->isVisible());
        QVERIFY(picker.list()->height() >= 336);

        for (QCheckBox* box : picker.list()->findChildren<QCheckBox*>())
            if (box->text() == "Lights") box->setChecked(true);
        QCOMPARE(picker.countText(), QString("2 selected"));
        QCOMPARE(picker.chosenIDs(), QStringList({"b1", "l1"})); // list order
        picker.search()->clear();
        QVERIFY(picker.headers()[0]->isVisible());
    }
};

TARN_TEST(ShortcutPickerTest)
#include "ShortcutPickerTest.moc"
