#include "TestMain.h"
#include "TestPlatform.h"
#include "TempHome.h"
#include "discovery/Editors.h"
#include "discovery/Terminals.h"
#include "model/Store.h"

#include <QFile>
#include <QTest>

using namespace tarn;

namespace {
const QString vscode = "com.microsoft.VSCode", zed = "dev.zed.Zed", cursor = "com.todesktop.230313mzl4w4u92";

QStringList ids(const QList<Editor>& editors) {
    QStringList out;
    for (const Editor& e : editors) out << e.id;
    return out;
}
} // namespace

class EditorsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestPlatform> platform;

    void install(const QStringList& bundleIDs) {
        for (const QString& id : bundleIDs)
            platform->fakeApplications.installs.insert(id, ApplicationInstall{"/apps/" + id, {}, {}});
    }

private Q_SLOTS:
    void init() { platform = std::make_unique<test::TestPlatform>(); }
    void cleanup() { platform.reset(); }

    void table() {
        const QList<Editor>& all = Editor::all();
        QCOMPARE(all.size(), 9);
        QCOMPARE(ids(all), QStringList({vscode, "com.microsoft.VSCodeInsiders", "com.vscodium", cursor,
                                        "com.exafunction.windsurf", zed, "com.sublimetext.4",
                                        "com.panic.Nova", "com.apple.dt.Xcode"}));
        QCOMPARE(all[1].storageFolder, QString("Code - Insiders"));
        QCOMPARE(all[5].reuseWindowFlag, std::nullopt);
        QCOMPARE(all[6].reuseWindowFlag, QString("-a"));
        QVERIFY(!all[6].opensWorkspaceFiles && all[4].opensWorkspaceFiles);
    }

    void choice_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("chosen");       // defaultEditorID, "" for none
        QTest::addColumn<QString>("folderEditor"); // editorID of the pinned folder /p
        QTest::addColumn<QString>("defaultID");    // "" for none
        QTest::addColumn<QString>("recentsID");
        QTest::addColumn<QString>("forLocationID");
        QTest::newRow("nothing installed") << QStringList{} << "" << "" << "" << "" << "";
        QTest::newRow("first installed in table order")
            << QStringList{zed, vscode} << "" << "" << vscode << vscode << vscode;
        QTest::newRow("chosen Zed, recents from VS Code")
            << QStringList{zed, vscode} << zed << "" << zed << vscode << zed;
        QTest::newRow("chosen but not installed")
            << QStringList{zed, cursor} << vscode << "" << cursor << cursor << cursor;
        QTest::newRow("only editors without storage")
            << QStringList{zed, "com.panic.Nova"} << "" << "" << zed << "" << zed;
        QTest::newRow("pinned folder names Cursor")
            << QStringList{vscode, cursor} << "" << cursor << vscode << vscode << cursor;
        QTest::newRow("pinned folder names a removed editor")
            << QStringList{vscode} << "" << cursor << vscode << vscode << vscode;
        QTest::newRow("pinned folder names an unknown editor")
            << QStringList{vscode} << "" << "org.gnu.emacs" << vscode << vscode << vscode;
    }

    void choice() {
        QFETCH(QStringList, installed);
        QFETCH(QString, chosen);
        QFETCH(QString, folderEditor);
        QFETCH(QString, defaultID);
        QFETCH(QString, recentsID);
        QFETCH(QString, forLocationID);
        install(installed);
        if (!chosen.isEmpty()) Store::shared().defaults().setString(Keys::defaultEditorID, chosen);
        PinnedFolder folder{"/p", false, {}, {}};
        if (!folderEditor.isEmpty()) folder.editorID = folderEditor;
        Store::shared().setPinnedFolders({folder});

        auto idOf = [](const std::optional<Editor>& e) { return e ? e->id : QString(); };
        QCOMPARE(idOf(Editors::defaultEditor()), defaultID);
        QCOMPARE(idOf(Editors::recentsEditor()), recentsID);
        QCOMPARE(idOf(Editors::editor(QUrl::fromLocalFile("/p/src/app"))), forLocationID);
        QCOMPARE(ids(Editors::installed()).size(), installed.size());
        if (!chosen.isEmpty()) // a stale choice is kept as stored
            QCOMPARE(Store::shared().defaults().string(Keys::defaultEditorID), chosen);
    }

    void cliURL() {
        test::TempHome home;
        const QString launcher = home.writeFile("code/bin/code", "#!/bin/sh\n");
        const QString plain = home.writeFile("zed/bin/zed", "not executable");
        QFile::setPermissions(launcher, QFile::ReadOwner | QFile::ExeOwner);
        platform->fakeApplications.installs.insert(vscode, {home.path() + "/code", launcher, {}});
        platform->fakeApplications.installs.insert(zed, {home.path() + "/zed", plain, {}});
        platform->fakeApplications.installs.insert("com.panic.Nova", {"/apps/nova", launcher, {}});

        const auto editorWith = [](const QString& id) {
            for (const Editor& e : Editor::all())
                if (e.id == id) return e;
            return Editor{};
        };
        QCOMPARE(Editors::cliURL(editorWith(vscode)), QUrl::fromLocalFile(launcher));
        QCOMPARE(Editors::cliURL(editorWith(zed)), std::nullopt);  // not executable
        QCOMPARE(Editors::cliURL(editorWith("com.panic.Nova")), std::nullopt); // no launcher
        QCOMPARE(Editors::cliURL(editorWith(cursor)), std::nullopt); // not installed
    }

    void terminals_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("current");
        QTest::newRow("none installed") << QStringList{} << "" << "com.apple.Terminal";
        QTest::newRow("chosen Warp not installed")
            << QStringList{"com.googlecode.iterm2", "com.mitchellh.ghostty"} << "dev.warp.Warp-Stable"
            << "com.googlecode.iterm2";
        QTest::newRow("chosen and installed")
            << QStringList{"com.apple.Terminal", "com.mitchellh.ghostty"} << "com.mitchellh.ghostty"
            << "com.mitchellh.ghostty";
    }

    void terminals() {
        QFETCH(QStringList, installed);
        QFETCH(QString, chosen);
        QFETCH(QString, current);
        install(installed);
        if (!chosen.isEmpty()) Store::shared().defaults().setString(Keys::terminalID, chosen);
        QCOMPARE(Terminals::current().id, current);
        QCOMPARE(Terminals::installed().size(), installed.size());
    }
};

TARN_TEST(EditorsTest)
#include "EditorsTest.moc"
