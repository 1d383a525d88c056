#include "Sandbox.h"
#include "TestMain.h"
#include "actions/Hotkeys.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "menu/MenuItems.h"
#include "menu/MenuStyle.h"
#include "model/Store.h"

#include <QAction>
#include <QFontMetricsF>
#include <QSignalSpy>
#include <QTest>

using namespace tarn;

namespace {
qreal widthOf(const QString& text, const QFont& font) { return QFontMetricsF(font).horizontalAdvance(text); }
const QString ellipsis = QStringLiteral("\u2026");
} // namespace

class MenuStyleTest : public QObject, test::Sandbox {
    Q_OBJECT

private Q_SLOTS:
    void init() { enter(); }
    void cleanup() { leave(); }

    void truncate_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qreal>("width"); // in multiples of the width of "M"
        QTest::addColumn<QString>("expected"); // "=" for unchanged
        QTest::newRow("fits") << "short" << 20.0 << "=";
        QTest::newRow("nothing fits") << "anything" << 0.1 << ellipsis;
        QTest::newRow("empty remainder") << "W" << 0.5 << ellipsis;
        QTest::newRow("space at the cut is dropped") << "abcd efghijklmnopqrstuvwxyz" << -4.0 << "abcd" + ellipsis;
        QTest::newRow("combining accent kept whole") << "e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301"
                                                   << -2.0 << "e\u0301e\u0301" + ellipsis;
        QTest::newRow("emoji kept whole") << "\U0001F469\u200D\U0001F469\u200D\U0001F467 family of three"
                                          << -1.0 << "\U0001F469\u200D\U0001F469\u200D\U0001F467" + ellipsis;
    }

    // A negative width means: exactly as wide as the expected result (cut at that point).
    void truncate() {
        QFETCH(QString, text);
        QFETCH(qreal, width);
        QFETCH(QString, expected);
        const QFont font = MenuStyle::menuFont();
        const qreal points = width < 0 ? widthOf(expected, font) : width * widthOf("M", font);
        const QString result = MenuStyle::truncate(text, font, points);
        QCOMPARE(result, expected == "=" ? text : expected);
        if (result != ellipsis) QVERIFY(widthOf(result, font) <= points);
    }

    void titleWidths_data() {
        QTest::addColumn<bool>("info");
        QTest::addColumn<bool>("reserve");
        QTest::addColumn<int>("dot"); // -1 absent, 0 false, 1 true
        QTest::addColumn<qreal>("width");
        QTest::addColumn<bool>("tabbed");
        QTest::newRow("nothing else: whole width, no tab") << false << false << -1 << MenuStyle::titleAlone() << false;
        QTest::newRow("dot only") << false << false << 1 << MenuStyle::titleWithDot() << true;
        QTest::newRow("dot false keeps the layout") << false << false << 0 << MenuStyle::titleWithDot() << true;
        QTest::newRow("info") << true << false << 0 << 120.0 << true;
        QTest::newRow("reserved for info") << false << true << -1 << 120.0 << true;
    }

    void titleWidths() {
        QFETCH(bool, info);
        QFETCH(bool, reserve);
        QFETCH(int, dot);
        QFETCH(qreal, width);
        QFETCH(bool, tabbed);
        const QString longText(200, 'x');
        const auto title = MenuStyle::title(longText, info ? std::optional(MenuStyle::info("main")) : std::nullopt,
                                            reserve, dot < 0 ? std::nullopt : std::optional(dot == 1));
        QCOMPARE(title.title, MenuStyle::truncate(longText, MenuStyle::menuFont(), width));
        QCOMPARE(title.tabbed, tabbed);
        QCOMPARE(title.dot.has_value(), dot >= 0);
    }

    void gitInfoFitsTheColumn() {
        const QFont font = MenuStyle::infoFont();
        QCOMPARE(MenuStyle::gitInfo(GitStatus{"main", 0, 0, 0}).text, QString("main"));
        const QString counters = " \u00B13 \u21911 \u21932";
        QCOMPARE(MenuStyle::gitInfo(GitStatus{"main", 1, 2, 3}).text,
                 MenuStyle::truncate("main", font, MenuStyle::infoWidth() - widthOf(counters, font)) + counters);
        // An eight-letter branch with all three counters, and every hotkey, fit whole.
        QCOMPARE(MenuStyle::gitInfo(GitStatus{"mainline", 2, 1, 3}).text, "mainline" + QString(" \u00B13 \u21912 \u21931"));
        for (const HotkeyPreset& preset : Hotkeys::presets()) QCOMPARE(MenuStyle::info(preset.title).text, preset.title);
        const QString info = MenuStyle::gitInfo(GitStatus{QString(80, 'b'), 12, 0, 345}).text;
        QVERIFY(info.endsWith(ellipsis + " \u00B1345 \u219112"));
        QVERIFY(widthOf(info, font) <= MenuStyle::infoWidth() + 1);
        // Counters line up: every digit is as wide as every other.
        QCOMPARE(widthOf("0000", font), widthOf("1111", font));
    }

    void applyTitle_data() {
        QTest::addColumn<QString>("kind");    // repo, workspace, folder, link, shortcut
        QTest::addColumn<bool>("gitShown");
        QTest::addColumn<bool>("statusKnown");
        QTest::addColumn<QString>("hint");    // "" for none
        QTest::addColumn<QString>("info");    // expected info text, "-" for none
        QTest::addColumn<qreal>("width");
        QTest::addColumn<QString>("toolTip"); // "@" is the tilde path
        // A hint the branch pushes out of the info column follows the name.
        QTest::newRow("repository with status, the hint after its name")
            << "repo" << true << true << "src" << "main \u00B12 \u21911" << 120.0
            << "@\nmain \u00B7 2 changes \u00B7 \u21911 \u21930   (\u00B1 uncommitted \u00B7 \u2191 to push \u00B7 \u2193 to pull)";
        QTest::newRow("repository before its status") << "repo" << true << false << "" << "-" << 120.0 << "@";
        QTest::newRow("git status hidden, hint shows") << "repo" << false << true << "src" << "src" << 120.0 << "@";
        QTest::newRow("git status hidden, no hint") << "repo" << false << true << "" << "-" << MenuStyle::titleWithDot() << "@";
        QTest::newRow("folder with hint") << "folder" << true << false << "work" << "work" << 120.0 << "@";
        QTest::newRow("link") << "link" << true << false << "" << "-" << MenuStyle::titleWithDot() << "https://example.com/a";
        QTest::newRow("shortcut has no tool tip") << "shortcut" << true << false << "" << "-" << MenuStyle::titleWithDot() << "";
    }

    void applyTitle() {
        QFETCH(QString, kind);
        QFETCH(bool, gitShown);
        QFETCH(bool, statusKnown);
        QFETCH(QString, hint);
        QFETCH(QString, info);
        QFETCH(qreal, width);
        QFETCH(QString, toolTip);
        platform->memoryDefaults.setBool(Keys::showGitStatus, gitShown);
        const QString path = home->makeFolder("src/" + QString(60, 'n'));
        Entry entry{*fromRawValue<EntryKind>(kind), QUrl::fromLocalFile(path), QString(60, 'n'),
                    std::nullopt, hint.isEmpty() ? std::nullopt : std::optional(hint)};
        if (kind == "link") entry.url = QUrl("https://example.com/a");
        if (kind == "shortcut") entry.url = QUrl("shortcuts://run-shortcut?name=x");
        if (statusKnown) {
            GitStore::shared().setStatusReader([](const QString&) { return GitStatus{"main", 1, 0, 2}; });
            GitStore::shared().refresh({path}, true);
            QTRY_VERIFY(GitStore::shared().status(path));
        }
        QAction item;
        MenuItems::applyTitle(&item, entry);
        const auto title = MenuStyle::titleOf(&item);
        QVERIFY(title);
        QCOMPARE(title->info ? title->info->text : QString("-"), info);
        const bool hintAfterName = statusKnown && gitShown && !hint.isEmpty();
        QCOMPARE(title->title, MenuStyle::truncate(entry.title + (hintAfterName ? " \u2014 " + hint : ""), MenuStyle::menuFont(), width));
        QCOMPARE(title->dot, std::optional(false));
        // Without a tool tip of its own, an action reports its text (and a menu shows none).
        QCOMPARE(item.toolTip(), toolTip.isEmpty() ? title->title
                                                   : QString(toolTip).replace("@", tildePath(QUrl::fromLocalFile(path))));
    }

    void openWindowDot() {
        const QString path = home->makeFolder("api");
        Library::shared().openParts = {"api"};
        QAction item;
        MenuItems::applyTitle(&item, Entry{EntryKind::folder, QUrl::fromLocalFile(path), "api", {}, {}});
        QCOMPARE(MenuStyle::titleOf(&item)->dot, std::optional(true));
        const QString workspace = home->writeFile("w/api.code-workspace", "{}");
        MenuItems::applyTitle(&item, Entry{EntryKind::workspace, QUrl::fromLocalFile(workspace), "api", {}, {}});
        QCOMPARE(MenuStyle::titleOf(&item)->dot, std::optional(false));
        Library::shared().openParts = {"api (Workspace)"};
        MenuItems::applyTitle(&item, Entry{EntryKind::workspace, QUrl::fromLocalFile(workspace), "api", {}, {}});
        QCOMPARE(MenuStyle::titleOf(&item)->dot, std::optional(true));
    }

    void ampersandsAreNotMnemonics() {
        QAction item;
        MenuStyle::setTitle(&item, MenuStyle::title("R&D notes", std::nullopt, false, std::nullopt));
        QCOMPARE(item.text(), QString("R&&D notes"));
        QCOMPARE(MenuStyle::titleOf(&item)->title, QString("R&D notes"));
    }

    // Bidirectional controls in names, branches and alerts are shown as marks, so that
    // "rtl\u202Etxt.exe" cannot read as "rtlexe.txt"; the entry keeps its real name.
    void bidiControlsAreShown() {
        const QString name = "rtl\u202Etxt.exe \u2066a\u2069";
        const QString shown = "rtl[RLO]txt.exe [LRI]a[PDI]";
        QAction item;
        const Entry entry{EntryKind::file, QUrl::fromLocalFile("/tmp/" + name), name, {}, {}};
        MenuItems::applyTitle(&item, entry);
        QCOMPARE(MenuStyle::titleOf(&item)->title, shown);
        QVERIFY(item.toolTip().endsWith(shown));
        QCOMPARE(MenuStyle::gitInfo({"x\u202Ey", 0, 0, 0}).text, QString("x[RLO]y"));
        platform->dialogs().warn("Couldn\u2019t open \u201C" + name + "\u201D", name);
        QCOMPARE(platform->testDialogs.warnings.last().message, "Couldn\u2019t open \u201C" + shown + "\u201D");
        QCOMPARE(platform->testDialogs.warnings.last().informative, shown);
    }
};

TARN_TEST(MenuStyleTest)
#include "MenuStyleTest.moc"
