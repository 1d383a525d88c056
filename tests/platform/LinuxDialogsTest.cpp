#include "TestMain.h"
#include "platform/linux/LinuxDialogs.h"

#include <QApplication>
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
};

TARN_TEST(LinuxDialogsTest)
#include "LinuxDialogsTest.moc"
