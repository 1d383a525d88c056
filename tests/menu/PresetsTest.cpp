#include "MenuOutline.h"
#include "Sandbox.h"
#include "TestMain.h"
#include "menu/LazyMenu.h"
#include "menu/MenuStyle.h"
#include "menu/Presets.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace tarn;

namespace {
QStringList outline(QAction* item) { return test::outline(test::openSubmenu(item)); }
QAction* row(QAction* item, const QString& text) { return test::findRow(item->menu()->actions(), text); }
} // namespace


class PresetsTest : public QObject, test::Sandbox {
    Q_OBJECT

    void file(const QString& relative, qint64 minutesAgo) {
        const QString path = home->writeFile(relative, "x");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo), QFileDevice::FileModificationTime);
    }

private Q_SLOTS:
    void init() { enter(); }
    void cleanup() { leave(); }

    // The 15 newest, newest first; without an added date the modification date counts; equal
    // dates keep the listing's order.
    void latestFifteen() {
        for (int i = 0; i < 40; ++i) file(QString("dl/f%1").arg(i, 2, 10, QChar('0')), 100 - i);
        file("dl/.hidden", 0);
        const QString added = home->path() + "/dl/f05";
        auto date = [&](const QString& path) { return path == added ? QDateTime::currentDateTime() : QDateTime(); };
        const QList<QUrl> urls = Presets::latest(home->path() + "/dl", date, [](const QString&) { return true; });
        QCOMPARE(urls.size(), 15);
        QCOMPARE(QFileInfo(urls[0].toLocalFile()).fileName(), QString("f05")); // added just now
        QCOMPARE(QFileInfo(urls[1].toLocalFile()).fileName(), QString("f39"));
        QCOMPARE(QFileInfo(urls[14].toLocalFile()).fileName(), QString("f26"));
        QVERIFY(Presets::latest(home->path() + "/missing", date, [](const QString&) { return true; }).isEmpty());
    }

    void screenshotNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("screenshot");
        QTest::newRow("GNOME") << "Screenshot from 2026-12-07 10-00-00.png" << true;
        QTest::newRow("macOS") << "Screen Shot 2026-12-07 at 10.00.00.png" << true;
        QTest::newRow("recording") << "Screen Recording 1.mov" << true;
        QTest::newRow("German") << "Bildschirmfoto vom 2026-12-07.png" << true;
        QTest::newRow("French") << "Capture d\u2019\u00E9cran 1.png" << true;
        QTest::newRow("Dutch") << "Schermafbeelding 1.png" << true;
        QTest::newRow("lower case is not a prefix") << "screenshot.png" << false;
        QTest::newRow("prefix inside the name") << "my Screenshot.png" << false;
    }

    void screenshotNames() {
        QFETCH(QString, name);
        QFETCH(bool, screenshot);
        QCOMPARE(Presets::isScreenshot(home->writeFile("shots/" + name, "x")), screenshot);
    }

    void screenshotFolderChoice() {
        QCOMPARE(Presets::screenshotFolder(), home->path() + "/Desktop");
        home->makeFolder("Pictures/Screenshots");
        QCOMPARE(Presets::screenshotFolder(), home->path() + "/Pictures/Screenshots");
        home->writeFile(".config/spectaclerc", QString("[ImageSave]\nimageSaveLocation=file://%1/gone\n").arg(home->path()).toUtf8());
        QCOMPARE(Presets::screenshotFolder(), home->path() + "/Pictures/Screenshots"); // named folder is gone
        home->makeFolder("gone");
        QCOMPARE(Presets::screenshotFolder(), home->path() + "/gone");
    }

    // A file moved in from elsewhere on the disk counts from its move, not from its birth.
    void movedInIsNew() {
        const QString old = home->writeFile("elsewhere/old.zip", "x");
        QTest::qWait(30);
        home->writeFile("dl/fresh.txt", "x");
        QTest::qWait(30);
        QVERIFY(QFile::rename(old, home->path() + "/dl/old.zip"));
        const QList<QUrl> urls = Presets::latest(home->path() + "/dl", Presets::dateAdded, [](const QString&) { return true; });
        QCOMPARE(urls.size(), 2);
        QCOMPARE(QFileInfo(urls[0].toLocalFile()).fileName(), QString("old.zip"));
    }

    void downloadsRows() {
        home->makeFolder("Downloads");
        QAction* item = Presets::downloads();
        QCOMPARE(outline(item), QStringList({"Open Downloads Folder", "-", "No downloads (off)"}));
        file("Downloads/report.pdf", 5);
        home->makeFolder("Downloads/Tool.app");
        home->makeFolder("Downloads/photos");
        const QStringList shown = outline(item);
        QCOMPARE(shown.size(), 5);
        QVERIFY(shown.contains("photos >"));   // a folder browses
        QVERIFY(shown.contains("Tool.app"));   // a package is a file
        QVERIFY(shown.contains("report.pdf"));
        delete item;
    }

    void volumesRows() {
        QAction* item = Presets::volumes();
        QCOMPARE(outline(item), QStringList({"No external volumes (off)"}));
        platform->fakeVolumes.volumes = {{"/media/me/STICK", "STICK", true, 2048},
                                         {"/mnt/data", "", false, std::nullopt},
                                         {"/media/me/CARD", "CARD", true, std::nullopt}};
        const QString stickFree = QLocale().formattedDataSize(2048) + " free";
        QCOMPARE(outline(item), QStringList({"STICK [" + stickFree + "] >", "data >", "CARD >", "-", "Eject All"}));
        const QStringList stick = outline(row(item, "STICK"));
        QCOMPARE(stick.mid(0, 4), QStringList({stickFree + " (off)", "Eject \u201CSTICK\u201D", "-", "Open in Editor"}));
        QCOMPARE(outline(row(item, "data")).first(), QString("Open in Editor")); // no eject, no free text

        // Eject All asks; Cancel ejects nothing; one failure among the rest is reported once.
        platform->testDialogs.answers.enqueue(1);
        row(item, "Eject All")->trigger();
        QCOMPARE(platform->testDialogs.questions.last().message, QString("Eject all volumes?"));
        QCOMPARE(platform->testDialogs.questions.last().informative, QString("STICK, CARD"));
        QTest::qWait(50);
        QVERIFY(platform->fakeVolumes.ejected.isEmpty());
        platform->fakeVolumes.failing.insert("/media/me/CARD", "Device is busy");
        platform->testDialogs.answers.enqueue(0);
        row(item, "Eject All")->trigger();
        QTRY_COMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().message, QString("Couldn\u2019t eject"));
        QCOMPARE(platform->testDialogs.warnings.first().informative, QString("CARD: Device is busy"));
        QCOMPARE(platform->fakeVolumes.ejected, QStringList{"/media/me/STICK"});
        delete item;
    }
};

TARN_TEST(PresetsTest)
#include "PresetsTest.moc"
