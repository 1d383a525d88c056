#include "TestMain.h"
#include "TestPlatform.h"
#include "actions/OpenWindows.h"
#include "model/Store.h"

#include <QTest>

using namespace tarn;

class OpenWindowsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestPlatform> platform;

private Q_SLOTS:
    void init() { platform = std::make_unique<test::TestPlatform>(); }
    void cleanup() { platform.reset(); }

    void split_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("editor title with em dashes")
            << "\u25CF main.swift \u2014 my-project \u2014 Workspace"
            << QStringList{"main.swift", "my-project", "Workspace"};
        QTest::newRow("no separator") << "  \tsolo \u25CF " << QStringList{"solo"};
        QTest::newRow("en dash and hyphen") << "a \u2013 b - c" << QStringList{"a", "b", "c"};
        QTest::newRow("hyphen without spaces stays") << "my-project" << QStringList{"my-project"};
        QTest::newRow("other symbols stay") << "\u2022 x * - [y]" << QStringList{"\u2022 x *", "[y]"};
        QTest::newRow("empty pieces stay") << " - a" << QStringList{"", "a"};
        QTest::newRow("new line is not trimmed") << "a\n - b" << QStringList{"a\n", "b"};
    }

    void split() {
        QFETCH(QString, title);
        QFETCH(QStringList, parts);
        QCOMPARE(OpenWindows::split(title), parts);
    }

    void titleParts_data() {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("on and readable") << true << true
                                         << QStringList{"Visual Studio Code", "api", "file.ts", "notes"};
        QTest::newRow("off") << false << true << QStringList{};
        QTest::newRow("not readable") << true << false << QStringList{};
    }

    void titleParts() {
        QFETCH(bool, setting);
        QFETCH(bool, trusted);
        QFETCH(QStringList, parts);
        platform->memoryDefaults.setBool(Keys::showOpenWindows, setting);
        platform->fakeWindowTitles.trusted = trusted;
        platform->fakeWindowTitles.windows = {
            {"com.microsoft.VSCode", {"file.ts \u2014 api \u2014 Visual Studio Code", "api"}},
            {"com.apple.dt.Xcode", {"notes"}}, // every supported editor is asked
            {"org.gnu.emacs", {"ignored"}},
        };
        QStringList found = OpenWindows::titleParts().values();
        found.sort();
        QCOMPARE(found, parts);
        if (!setting) QCOMPARE(platform->fakeWindowTitles.reads, 0);
    }

    void askAtLaunch_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("settingAfter");
        QTest::addColumn<int>("explained"); // alerts that say what the dots need
        QTest::newRow("allow") << 0 << true << 1;
        QTest::newRow("not now") << 1 << true << 0;
        QTest::newRow("turn off dots") << 2 << false << 0;
        QTest::newRow("closed") << -1 << true << 0;
    }

    void askAtLaunch() {
        QFETCH(int, answer);
        QFETCH(bool, settingAfter);
        QFETCH(int, explained);
        platform->fakeWindowTitles.trusted = false;
        platform->memoryDefaults.setBool(Keys::showOpenWindows, true);
        platform->testDialogs.answers.enqueue(answer);
        OpenWindows::askAtLaunch();
        QCOMPARE(platform->testDialogs.questions.size(), 1);
        const auto question = platform->testDialogs.questions.first();
        QCOMPARE(question.message, QString("Allow Tarn to see your open VS Code windows?"));
        QCOMPARE(question.buttons, QStringList({"Allow\u2026", "Not Now", "Turn Off Dots"}));
        QVERIFY(question.informative.startsWith("The green dots show"));
        QCOMPARE(platform->testDialogs.activations, 1 + explained); // each alert comes forward
        QCOMPARE(Store::shared().boolean(Keys::showOpenWindows, false), settingAfter);
        QCOMPARE(platform->testDialogs.warnings.size(), explained);
        QVERIFY(platform->fakeDesktop.opened.isEmpty()); // no address nothing here handles
    }

    // On Linux there is no permission to grant: the item explains what the dots need.
    void fixAccessExplains_data() {
        QTest::addColumn<bool>("x11Answers");
        QTest::addColumn<QString>("message");
        QTest::newRow("no X11 display") << false << "Open-window dots need an X11 display";
        QTest::newRow("X11 display answers") << true << "Tarn can see your open editor windows";
    }

    void fixAccessExplains() {
        QFETCH(bool, x11Answers);
        QFETCH(QString, message);
        platform->fakeWindowTitles.trusted = x11Answers;
        OpenWindows::fixAccess();
        QCOMPARE(platform->testDialogs.warnings.size(), 1);
        QCOMPARE(platform->testDialogs.warnings.first().message, message);
        QVERIFY(platform->testDialogs.warnings.first().informative.contains("X11 display"));
        QVERIFY(platform->fakeDesktop.opened.isEmpty());
    }
};

TARN_TEST(OpenWindowsTest)
#include "OpenWindowsTest.moc"
