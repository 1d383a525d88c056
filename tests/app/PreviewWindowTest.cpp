#include "TempHome.h"
#include "TestMain.h"
#include "app/PreviewWindow.h"

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

using namespace tarn;

class PreviewWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsWhatTheFileIs() {
        test::TempHome home;
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString image = home.path() + "/shot.png";
        QVERIFY(picture.save(image));
        const QString text = home.writeFile("notes.txt", "first line\nsecond line\n");
        const QString other = home.writeFile("blob.bin", QByteArray("\x00\x01\x02", 3));

        PreviewWindow window;
        window.preview(QUrl::fromLocalFile(image));
        QVERIFY(window.isVisible());
        // Titled, with a close button, like any window.
        QCOMPARE(window.windowTitle(), QString("shot.png"));
        QVERIFY(window.windowType() == Qt::Window && !(window.windowFlags() & Qt::FramelessWindowHint));
        const auto labels = window.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return l->pixmap().width() == 40; }));

        window.preview(QUrl::fromLocalFile(text));
        const auto* view = window.findChild<QPlainTextEdit*>();
        QVERIFY(view);
        QVERIFY(view->toPlainText().startsWith("first line"));

        window.preview(QUrl::fromLocalFile(other));
        QVERIFY(!window.findChild<QPlainTextEdit*>());
        const auto details = window.findChildren<QLabel*>();
        QVERIFY(std::any_of(details.begin(), details.end(), [](QLabel* l) { return l->text().contains("blob.bin"); }));

        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Escape}) {
            window.preview(QUrl::fromLocalFile(text));
            QTest::keyClick(&window, key);
            QVERIFY(!window.isVisible());
        }
    }
};

TARN_TEST(PreviewWindowTest)
#include "PreviewWindowTest.moc"
