#include "GitFixture.h"
#include "MenuOutline.h"
#include "Sandbox.h"
#include "TestMain.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "menu/ItemActions.h"
#include "menu/LazyMenu.h"
#include "menu/WorkspaceCreator.h"
#include "model/Store.h"

#include <QDir>
#include <QFile>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <sys/stat.h>

using namespace tarn;
using test::outline;

namespace {
QList<QAction*> opened(QAction* item) { return test::openSubmenu(item); }
QAction* find(const QList<QAction*>& items, const QString& text) { return test::findRow(items, text); }
} // namespace


class ItemActionsTest : public QObject, test::Sandbox {
    Q_OBJECT

private Q_SLOTS:
    void init() { enter(); }
    void cleanup() { leave(); }

    void actionLists_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("expected");
        const QStringList tail{"Add to Favorites", "Add to Group >", "-", "Move to Trash\u2026"};
        QTest::newRow("link") << "link"
                              << QStringList{"Open", "Copy URL", "-", "Add to Favorites", "Add to Group >"};
        QTest::newRow("shortcut") << "shortcut"
                                  << QStringList{"Run Shortcut", "Edit in Shortcuts", "Copy Name", "-", "Add to Folder >"};
        QTest::newRow("script") << "script"
                                << QStringList{"Run Shortcut", "Edit Script", "Show in Files", "Copy Name", "-",
                                               "Add to Folder >"};
        QTest::newRow("file") << "file"
                              << QStringList{"Open", "Open With >", "Open in Terminal", "Show in Files", "Preview", "-",
                                             "Copy Path", "Copy File", "-"} + tail;
        QTest::newRow("plain folder, editor with a launcher")
            << "folder"
            << QStringList{"Open in VS Code", "Open in New Window", "Open in Current Window", "Open With >",
                           "Open in Terminal", "Show in Files", "Preview", "-", "Copy Path", "Copy File", "-",
                           "Save as Workspace\u2026"} + tail;
        QTest::newRow("folder with .git inside, not mapped: the git block")
            << "gitfolder"
            << QStringList{"Open in VS Code", "Open in New Window", "Open in Current Window", "Open With >",
                           "Open in Terminal", "Show in Files", "Preview", "-", "Copy Path", "Copy File", "-",
                           "# Git", "Fetch", "Pull (fast-forward only)", "-", "Save as Workspace\u2026"} + tail;
        QTest::newRow("workspace: no Save as Workspace")
            << "workspace"
            << QStringList{"Open in VS Code", "Open in New Window", "Open in Current Window", "Open With >",
                           "Open in Terminal", "Show in Files", "Preview", "-", "Copy Path", "Copy File", "-"} + tail;
    }

    void actionLists() {
        QFETCH(QString, kind);
        QFETCH(QStringList, expected);
        installEditor();
        Entry entry;
        if (kind == "link") entry = {EntryKind::link, QUrl("https://example.com"), "Example", {}, {}};
        else if (kind == "shortcut") entry = {EntryKind::shortcut, QUrl("shortcuts://x"), "Build", QString("id"), {}};
        else if (kind == "script")
            entry = {EntryKind::shortcut, QUrl::fromLocalFile(home->writeFile("deploy.sh", "#!/bin/sh\n")), "deploy",
                     QString("id"), {}};
        else if (kind == "file") entry = Entry::classify(QUrl::fromLocalFile(home->writeFile("notes.md", "x")));
        else if (kind == "folder") entry = Entry::classify(QUrl::fromLocalFile(home->makeFolder("plain")));
        else if (kind == "gitfolder") {
            home->makeFolder("linked/.git");
            entry = {EntryKind::folder, QUrl::fromLocalFile(home->path() + "/linked"), "linked", {}, {}};
        } else entry = Entry::classify(QUrl::fromLocalFile(home->writeFile("w/team.code-workspace", "{}")));
        const QList<QAction*> items = ItemActions::items(entry);
        QCOMPARE(outline(items), expected);
        qDeleteAll(items);
    }

    // An editor installed as a folder, also offered by its desktop entry, is listed once, under
    // its own name.
    void openWithListsAnEditorOnce() {
        installEditor();
        const QString entryFile = home->path() + "/code.desktop";
        platform->fakeDesktop.offered = {{{entryFile, home->path() + "/editors/com.microsoft.VSCode/code", entryFile}, "Visual Studio Code", {}},
                                         {{"/usr/share/applications/gedit.desktop", std::nullopt, std::nullopt}, "Text Editor", {}}};
        const QList<QAction*> items = ItemActions::items(Entry::classify(QUrl::fromLocalFile(home->makeFolder("plain"))));
        QCOMPARE(outline(opened(find(items, "Open With"))), QStringList({"VS Code", "Text Editor"}));
        qDeleteAll(items);
    }

    // A URL leaves Tarn as it was written, its encoding kept.
    void copyURLKeepsTheEncoding() {
        const QUrl url("https://example.com/a%20b?q=%C3%A9#frag%20x");
        const QList<QAction*> items = ItemActions::items({EntryKind::link, url, "Example", {}, {}});
        find(items, "Copy URL")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("https://example.com/a%20b?q=%C3%A9#frag%20x"));
        qDeleteAll(items);
    }

    void gitBlockWithStatusAndRemote() {
        const QString repo = home->path() + "/tarn";
        test::makeRepo(repo);
        test::git(repo, {"remote", "add", "origin", "git@git.example.org:team/tarn.git"});
        GitStore::shared().setStatusReader([](const QString&) { return GitStatus{"main", 1, 0, 2}; });
        GitStore::shared().refresh({repo}, true);
        QTRY_VERIFY(GitStore::shared().status(repo));
        const QList<QAction*> items = ItemActions::items({EntryKind::repo, QUrl::fromLocalFile(repo), "tarn", {}, {}});
        const QString git = "# Git \u00B7 main \u00B7 2 changes \u00B7 \u21911 \u21930";
        // The block shows at once; the remote's address fills in when it has been read.
        QCOMPARE(outline(items).mid(outline(items).indexOf(git) + 1, 3),
                 QStringList({"Fetch", "Pull (fast-forward only)", "Copy Branch Name"}));
        QTRY_VERIFY(outline(items).contains("Open in Browser"));
        const QStringList shown = outline(items);
        const qsizetype start = shown.indexOf(git);
        QVERIFY(start > 0);
        QCOMPARE(shown.mid(start + 1, 4),
                 QStringList({"Open in Browser", "Fetch", "Pull (fast-forward only)", "Copy Branch Name"}));
        qDeleteAll(items);
    }

    void favoritesAndGroups() {
        const Entry entry = Entry::classify(QUrl::fromLocalFile(home->writeFile("notes.md", "x")));
        Store::shared().addGroup("Work");
        QList<QAction*> items = ItemActions::favoriteItems(entry);
        QCOMPARE(outline(items), QStringList({"Add to Favorites", "Add to Group >"}));
        QCOMPARE(outline(opened(items[1])), QStringList({"Work", "-", "New Group\u2026"}));
        find(opened(items[1]), "Work")->trigger();
        qDeleteAll(items);
        QCOMPARE(Store::shared().favorite(entry)->group, QString("Work"));

        items = ItemActions::favoriteItems(entry);
        QCOMPARE(outline(items).first(), QString("Remove from Favorites"));
        QCOMPARE(outline(opened(items[1])), QStringList({"[x] Work", "-", "New Group\u2026", "Remove from Group"}));
        find(opened(items[1]), "Remove from Group")->trigger();
        QVERIFY(!Store::shared().favorite(entry)->group);
        items[0]->trigger();
        QVERIFY(!Store::shared().favorite(entry));
        qDeleteAll(items);
    }

    void openWithListsEachApplicationOnce() {
        installEditor();
        const ApplicationInstall code = platform->fakeApplications.installs.value("com.microsoft.VSCode");
        platform->fakeDesktop.offered << OfferedApplication{code, "Code.app", {}};
        for (int i = 0; i < 40; ++i)
            platform->fakeDesktop.offered << OfferedApplication{{QString("/apps/a%1.desktop").arg(i), {}, {}},
                                                                QString("App %1.app").arg(i), {}};
        const QString folder = home->makeFolder("src");
        const QList<QAction*> items = ItemActions::items(Entry::classify(QUrl::fromLocalFile(folder)));
        const QList<QAction*> apps = opened(find(items, "Open With"));
        QCOMPARE(apps.size(), 30);
        QCOMPARE(apps[0]->text(), QString("VS Code")); // the editor first, once, under its own name
        QCOMPARE(apps[1]->text(), QString("App 0"));  // ".app" removed
        apps[1]->trigger();
        QCOMPARE(platform->fakeDesktop.openedWith.last().urls, QList<QUrl>{QUrl::fromLocalFile(folder)});
        QCOMPARE(platform->fakeDesktop.openedWith.last().application.location, QString("/apps/a0.desktop"));
        qDeleteAll(items);
    }

    void revealAsks_theDesktop() {
        const QString file = home->writeFile("notes.md", "x");
        const QList<QAction*> items = ItemActions::items(Entry::classify(QUrl::fromLocalFile(file)));
        find(items, "Show in Files")->trigger();
        QCOMPARE(platform->fakeDesktop.revealed, QList<QUrl>{QUrl::fromLocalFile(file)});
        qDeleteAll(items);
    }

    void workspaceFileBytes() {
        QCOMPARE(WorkspaceCreator::contents("/home/me/src/a \"b\""),
                 QByteArray("{\n\t\"folders\": [\n\t\t{ \"path\": \"\\/home\\/me\\/src\\/a \\\"b\\\"\" }\n\t],\n"
                            "\t\"settings\": {}\n}\n"));
    }

    void saveAsWorkspace() {
        const QString target = home->makeFolder("workspaces");
        platform->memoryDefaults.setString(Keys::workspacesFolder, target);
        const QString api = home->makeFolder("code/api");
        platform->testDialogs.answers.enqueue(1); // "Done"
        WorkspaceCreator::save(QUrl::fromLocalFile(api));
        QFile file(target + "/api.code-workspace");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), WorkspaceCreator::contents(api));
        file.close();
        QCOMPARE(platform->testDialogs.questions.last().message, QString("Saved \u201Capi.code-workspace\u201D"));
        QCOMPARE(platform->testDialogs.questions.last().informative, "in " + tildePath(QUrl::fromLocalFile(target)));

        // Saving again never overwrites: it offers the existing file.
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("mine");
        file.close();
        platform->testDialogs.answers.enqueue(1); // "Cancel"
        WorkspaceCreator::save(QUrl::fromLocalFile(api));
        QCOMPARE(platform->testDialogs.questions.last().message, QString("\u201Capi.code-workspace\u201D already exists"));
        QCOMPARE(platform->testDialogs.questions.last().buttons, QStringList({"Open", "Cancel"}));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("mine"));
        QTRY_VERIFY(!Library::shared().scanning);

        // A folder whose name is not UTF-8 cannot be written into JSON: an alert, no file.
        const QByteArray raw = QFile::encodeName(home->path()) + "/code/caf\xe9";
        QVERIFY(::mkdir(raw.constData(), 0700) == 0);
        WorkspaceCreator::save(QUrl::fromLocalFile(QFile::decodeName(raw)));
        QCOMPARE(platform->testDialogs.warnings.last().message, QString("Couldn\u2019t save workspace"));
        QCOMPARE(QDir(target).entryList(QDir::Files), QStringList{"api.code-workspace"});
    }

    void chooseWorkspacesFolderPinsIt() {
        const QString chosen = home->makeFolder("ws");
        platform->testDialogs.openPanelAnswers.enqueue(QList<QUrl>{QUrl::fromLocalFile(chosen)});
        QCOMPARE(WorkspaceCreator::chooseWorkspacesFolder(), std::optional(QUrl::fromLocalFile(chosen)));
        QCOMPARE(platform->testDialogs.openPanelRequests.last().title, QString("Workspaces Folder"));
        QCOMPARE(Store::shared().defaults().string(Keys::workspacesFolder), std::optional(chosen));
        QCOMPARE(Store::shared().pinnedFolders().size(), 1);
        QVERIFY(!WorkspaceCreator::chooseWorkspacesFolder()); // cancelled
    }
};

TARN_TEST(ItemActionsTest)
#include "ItemActionsTest.moc"
