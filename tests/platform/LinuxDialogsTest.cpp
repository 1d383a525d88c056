#include "TestMain.h"
#include "platform/linux/LinuxDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace tarn;

class LinuxDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Escape and closing the window answer "Cancel", wherever it stands among the buttons.
    void confirmationsCancel_data() {
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<bool>("closeWindow");
        QTest::addColumn<int>("answer");
        QTest::newRow("Escape, Cancel last") << QStringList{"Move to Trash", "Cancel"} << false << 1;
        QTest::newRow("Escape, Cancel first") << QStringList{"Cancel", "Replace"} << false << 0;
        QTest::newRow("closed, Cancel in the middle") << QStringList{"Eject All", "Cancel", "Other"} << true << 1;
    }

    void confirmationsCancel() {
        QFETCH(QStringList, buttons);
        QFETCH(bool, closeWindow);
        QFETCH(int, answer);
        QTimer::singleShot(300, [closeWindow] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            if (closeWindow) box->close();
            else QTest::keyClick(box, Qt::Key_Escape);
            // A box that ignored it is ended without an answer, so the test fails instead of waiting.
            QTimer::singleShot(300, box, [box] { box->reject(); });
        });
        QCOMPARE(LinuxDialogs().ask("Sure?", QString(), buttons), answer);
    }

    // Names, paths and other programs' output are shown as written: every label of an alert or
    // a confirmation is plain text, and the literal markup is what it shows.
    void alertsShowMarkupAsWritten_data() {
        QTest::addColumn<bool>("confirmation");
        QTest::newRow("alert") << false;
        QTest::newRow("confirmation") << true;
    }

    void alertsShowMarkupAsWritten() {
        QFETCH(bool, confirmation);
        const QString name = "<b>x</b> <a href=\"file:///etc\">link</a>", output = "<img src=\"/tmp/x.png\">";
        QStringList shown;
        bool plain = true;
        QTimer::singleShot(300, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            for (QLabel* label : box->findChildren<QLabel*>()) {
                if (label->text().isEmpty()) continue;
                shown << label->text();
                plain = plain && label->textFormat() == Qt::PlainText;
            }
            box->reject();
        });
        if (confirmation) LinuxDialogs().ask(name, output, {"Move to Trash", "Cancel"});
        else LinuxDialogs().warn(name, output);
        QCOMPARE(shown, (QStringList{name, output}));
        QVERIFY(plain);
    }
};

TARN_TEST(LinuxDialogsTest)
#include "LinuxDialogsTest.moc"
