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
};

TARN_TEST(OpenWindowsTest)
#include "OpenWindowsTest.moc"
