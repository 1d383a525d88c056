// Tarn as a user meets it, under the test's private X server: a tray host, Tarn started on a
// home with a pinned folder of repositories and an editor, the tray icon clicked, an entry
// chosen with the keyboard, and the editor asked to open it.
#include "GitFixture.h"
#include "TempHome.h"
#include "TestMain.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QProcess>
#include <QScreen>
#include <QTest>

namespace {

void xdotool(const QStringList& arguments) {
    QProcess::execute("xdotool", arguments);
    QTest::qWait(150);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TrayEndToEndTest : public QObject {
    Q_OBJECT
    std::unique_ptr<tarn::test::TempHome> home;
    QProcess trayer, tarn;

private Q_SLOTS:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs an X server");
        if (QProcess::execute("sh", {"-c", "command -v trayer && command -v xdotool"}) != 0)
            QSKIP("needs trayer and xdotool");
    }

    void cleanup() {
        for (QProcess* process : {&tarn, &trayer}) {
            process->kill();
            process->waitForFinished(5000);
        }
        home.reset();
    }

    void chooseARepositoryFromTheTray() {
        home = std::make_unique<tarn::test::TempHome>();
        const QString code = home->makeFolder("code");
        tarn::test::makeRepo(code + "/alpha");
        const QString launched = home->path() + "/launched";
        const QString editor = home->writeFile(".local/bin/code", QString("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1'\n")
                                                                      .arg(launched).toUtf8());
        QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray folders = QJsonDocument(QJsonArray{QJsonObject{{"path", code}}}).toJson(QJsonDocument::Compact);
        const QString settings = home->writeFile(
            ".config/tarn/defaults.json",
            QJsonDocument(QJsonObject{{"pinnedFolders", QJsonObject{{"data", QString(folders.toBase64())}}}}).toJson());

        trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                                "--SetDockType", "true"});
        QVERIFY(trayer.waitForStarted());
        QTest::qWait(1000);
        tarn.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        tarn.start(TARN_BINARY, {});
        QVERIFY(tarn.waitForStarted());
        QTest::qWait(2500); // the icon docks, the first scan runs

        // The icon sits at the right end of the panel.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QString x = QString::number(screen.right() - 11), y = QString::number(12);
        xdotool({"mousemove", x, y, "click", "1"});
        QTest::qWait(800);
        // Search…, code (the folder), Git Repositories: into its submenu, the first repository.
        for (int i = 0; i < 3; ++i) xdotool({"key", "Down"});
        xdotool({"key", "Right"});
        xdotool({"key", "Return"});

        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readAll(launched)).trimmed(), code + "/alpha", 10000);
        QTRY_VERIFY_WITH_TIMEOUT(QJsonDocument::fromJson(readAll(settings)).object().value("history").toArray()
                                     .contains(code + "/alpha"),
                                 5000);
        QCOMPARE(tarn.state(), QProcess::Running);
    }
};

TARN_TEST(TrayEndToEndTest)
#include "TrayEndToEndTest.moc"
