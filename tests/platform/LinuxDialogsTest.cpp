#include "TestMain.h"
#include "platform/linux/LinuxDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
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
    // a confirmation is plain text, and the literal markup is what it shows. Its window has a
    // title and a close button only.
    void alertsShowMarkupAsWritten_data() {
        QTest::addColumn<bool>("confirmation");
        QTest::newRow("alert") << false;
        QTest::newRow("confirmation") << true;
    }

    void alertsShowMarkupAsWritten() {
        QFETCH(bool, confirmation);
        const QString name = "<b>x</b> <a href=\"file:///etc\">link</a>", output = "<img src=\"/tmp/x.png\">";
        QStringList shown;
        bool plain = true, framed = false;
        QTimer::singleShot(300, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            for (QLabel* label : box->findChildren<QLabel*>()) {
                if (label->text().isEmpty()) continue;
                shown << label->text();
                plain = plain && label->textFormat() == Qt::PlainText;
            }
            // A title and a close button, nothing to minimise or maximise.
            const Qt::WindowFlags flags = box->windowFlags();
            framed = (flags & Qt::CustomizeWindowHint) && (flags & Qt::WindowCloseButtonHint) &&
                     !(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
            box->reject();
        });
        if (confirmation) LinuxDialogs().ask(name, output, {"Move to Trash", "Cancel"});
        else LinuxDialogs().warn(name, output);
        QCOMPARE(shown, (QStringList{name, output}));
        QVERIFY(plain);
        QVERIFY(framed);
    }

    // Favorites are files or folders: the button chooses a selected folder instead of opening it.
    void filesAndFoldersAreChosen_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("folder") << "project";
        QTest::newRow("file") << "notes.txt";
    }
    void filesAndFoldersAreChosen() {
        QFETCH(QString, name);
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkdir("project"));
        QFile(home.filePath("notes.txt")).open(QIODevice::WriteOnly);
        QTimer::singleShot(300, [&] {
            QWidget* panel = QApplication::activeModalWidget();
            auto* chooser = panel ? panel->findChild<QFileDialog*>() : nullptr;
            if (!chooser) return;
            chooser->findChild<QLineEdit*>("fileNameEdit")->setText(name); // typed, as a user may
            QPushButton* choose = chooser->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
            QCOMPARE_NE(choose, nullptr);
            QTRY_COMPARE(choose->text(), QString("Choose")); // not "Open", for a folder too
            QTest::mouseClick(choose, Qt::LeftButton);
            // A panel that went into the folder instead is ended without an answer.
            QTimer::singleShot(300, panel, [chooser] { chooser->reject(); });
        });
        const std::optional<QList<QUrl>> chosen =
            LinuxDialogs().openPanel({"Add Favorites", QString(), "Choose", false, true, home.path()});
        QCOMPARE(chosen, std::optional(QList<QUrl>{QUrl::fromLocalFile(home.filePath(name))}));
    }
};

TARN_TEST(LinuxDialogsTest)
#include "LinuxDialogsTest.moc"
