#include "TempHome.h"
#include "TestMain.h"
#include "model/JsonReader.h"
#include "model/PinnedFolder.h"
#include "platform/linux/JsonDefaultsDomain.h"

#include <QDir>
#include <QFileInfo>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <cstring>
#include <sys/stat.h>

using namespace tarn;

Q_DECLARE_METATYPE(tarn::DefaultsValue)

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

class JsonDefaultsDomainTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;
    QString file;

private Q_SLOTS:
    void init() {
        home = std::make_unique<test::TempHome>();
        file = JsonDefaultsDomain::standardPath();
    }
    void cleanup() { home.reset(); }

    // The files next to the settings file whose names match `wildcard`, by name.
    QStringList copiesOf(const QString& wildcard) const {
        const QString folder = QFileInfo(file).path();
        QStringList paths;
        for (const QString& name : QDir(folder).entryList({wildcard}, QDir::Files | QDir::Hidden, QDir::Name))
            paths << folder + '/' + name;
        return paths;
    }

    void standardPathFollowsXdgConfigHome() {
        QCOMPARE(file, home->configHome() + "/tarn/defaults.json");
    }

    void valuesKeepTheirTypes_data() {
        QTest::addColumn<DefaultsValue>("value");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("boolean") << DefaultsValue(true) << QByteArray("true");
        QTest::newRow("string") << DefaultsValue(QString("ctrl-opt-m")) << QByteArray("\"ctrl-opt-m\"");
        QTest::newRow("empty string array") << DefaultsValue(QStringList()) << QByteArray("[]");
        QTest::newRow("string array") << DefaultsValue(QStringList{"/a", "/b"})
                                      << QByteArray("[\"/a\",\"/b\"]");
        QTest::newRow("records") << DefaultsValue(QByteArray("[{\"path\":\"/p\"}]"))
                                 << QByteArray("[{\"path\":\"/p\"}]");
        QTest::newRow("data not JSON") << DefaultsValue(QByteArray("\x01x")) << QByteArray("{\"data\":\"AXg=\"}");
        QTest::newRow("JSON laid out otherwise") << DefaultsValue(QByteArray("[ 1 ]"))
                                                 << QByteArray("{\"data\":\"WyAxIF0=\"}");
        QTest::newRow("JSON shaped like the base64 form")
            << DefaultsValue(QByteArray("{\"data\":\"eA==\"}")) << QByteArray("{\"data\":\"eyJkYXRhIjoiZUE9PSJ9\"}");
    }

    void valuesKeepTheirTypes() {
        QFETCH(DefaultsValue, value);
        QFETCH(QByteArray, json);
        JsonDefaultsDomain writer(file);
        writer.set("k", value);
        JsonDefaultsDomain reader(file); // a fresh reader sees only what is on disk
        QCOMPARE(reader.object("k"), std::optional(value));
        const QJsonObject onDisk = QJsonDocument::fromJson(readAll(file)).object();
        QCOMPARE(QJsonDocument(QJsonObject{{"k", onDisk.value("k")}}).toJson(QJsonDocument::Compact),
                 "{\"k\":" + json + "}");
    }

    void foreignValuesReadAsAbsent_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("number") << QByteArray("3");
        QTest::newRow("null") << QByteArray("null");
        QTest::newRow("data that is not base64") << QByteArray("{\"data\": \"@@@\"}");
    }

    void foreignValuesReadAsAbsent() {
        QFETCH(QByteArray, json);
        home->writeFile(".config/tarn/defaults.json", "{\"k\": " + json + ", \"b\": false}");
        JsonDefaultsDomain domain(file);
        QVERIFY(!domain.object("k"));
        QCOMPARE(domain.boolean("b"), std::optional(false));
        domain.setBool("other", true);
        // Values we cannot read are still kept, not dropped by the next write.
        QCOMPARE(QJsonDocument::fromJson(readAll(file)).object().value("k"),
                 QJsonDocument::fromJson("[" + json + "]").array().at(0));
    }

    // Files written before records were plain JSON hold them in base64: they read alike, and
    // the next write of the key stores them plainly.
    void dataReadsInEveryForm_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("base64") << QByteArray("{\"data\": \"W3sicGF0aCI6Ii9wIn1d\"}") << QByteArray("[{\"path\":\"/p\"}]");
        QTest::newRow("records") << QByteArray("[ {\"path\": \"/p\"} ]") << QByteArray("[{\"path\":\"/p\"}]");
        QTest::newRow("empty list") << QByteArray("[]") << QByteArray("[]");
        QTest::newRow("mixed array") << QByteArray("[\"a\", 1]") << QByteArray("[\"a\",1]");
        QTest::newRow("object") << QByteArray("{\"x\": 1}") << QByteArray("{\"x\":1}");
    }

    void dataReadsInEveryForm() {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, data);
        home->writeFile(".config/tarn/defaults.json", "{\"k\": " + json + "}");
        JsonDefaultsDomain domain(file);
        QCOMPARE(domain.data("k"), std::optional(data));
        domain.setData("k", *domain.data("k"));
        QCOMPARE(QJsonDocument::fromJson(readAll(file)).object().value("k"),
                 QJsonDocument::fromJson("[" + data + "]").array().at(0));
    }

    void typedAccessorsRefuseOtherTypes() {
        JsonDefaultsDomain domain(file);
        domain.setBool("flag", true);
        domain.setString("name", "x");
        QVERIFY(!domain.string("flag"));
        QVERIFY(!domain.boolean("name"));
        QVERIFY(!domain.stringArray("name"));
        QVERIFY(!domain.data("name"));
        domain.remove("name");
        QVERIFY(!domain.object("name"));
        QCOMPARE(domain.boolean("flag"), std::optional(true));
    }

    void changesByOthersAreSeen() {
        JsonDefaultsDomain mine(file), theirs(file);
        mine.setString("k", "one");
        QCOMPARE(theirs.string("k"), std::optional<QString>("one"));
        mine.setString("k", "two");
        QCOMPARE(theirs.string("k"), std::optional<QString>("two"));
        writeAll(file, "{\"k\": \"edited by hand\"}");
        QCOMPARE(mine.string("k"), std::optional<QString>("edited by hand"));
        // Records too, which are kept laid out between reads.
        mine.setData("list", "[{\"a\":1}]");
        QCOMPARE(mine.data("list"), std::optional<QByteArray>("[{\"a\":1}]"));
        theirs.setData("list", "[{\"a\":2}]");
        QCOMPARE(mine.data("list"), std::optional<QByteArray>("[{\"a\":2}]"));

        // The one watching hears of each change, written in place or replaced.
        int heard = 0;
        mine.watchChanges([&] { ++heard; });
        writeAll(file, "{\"k\": \"in place\"}");
        QTRY_VERIFY(heard >= 1);
        int before = heard;
        theirs.setString("k", "replaced");
        QTRY_VERIFY(heard > before);
        before = heard;
        writeAll(file, "{\"k\": \"in place again\"}");
        QTRY_VERIFY(heard > before);
    }

    // A hand edit that does not parse leaves the settings read last in force, is said to be
    // broken (where), and is never written over: a change meanwhile fails, reported; once the
    // file parses again it is read as usual.
    void brokenFileKeepsTheLastSettings_data() {
        QTest::addColumn<QByteArray>("broken");
        QTest::addColumn<QString>("where");
        QTest::newRow("trailing comma") << QByteArray("{\"a\": true,\n \"b\": \"x\",\n}") << "line 3";
        QTest::newRow("number out of range") << QByteArray("{\"a\": true, \"n\": 1e400}") << "line 1";
        QTest::newRow("Latin-1 byte") << QByteArray("{\"a\": true, \"c\": \"caf\xe9\"}") << "line 1";
        QTest::newRow("not an object") << QByteArray("[1, 2]") << "not a JSON object";
        QTest::newRow("a key twice") << QByteArray("{\"b\": \"kept\",\n \"a\": {\"b\": 1},\n \"b\": \"kept\"}") << "lines 1 and 3";
    }
    void brokenFileKeepsTheLastSettings() {
        QFETCH(QByteArray, broken);
        QFETCH(QString, where);
        home->writeFile(".config/tarn/defaults.json", "{\"a\": false, \"b\": \"kept\"}");
        JsonDefaultsDomain domain(file);
        QStringList reasons;
        domain.setWriteFailureHandler([&](const QString& reason) { reasons << reason; });
        QCOMPARE(domain.string("b"), std::optional<QString>("kept"));
        QVERIFY(!domain.problem());
        writeAll(file, broken);
        QCOMPARE(domain.string("b"), std::optional<QString>("kept"));
        QVERIFY2(domain.problem().value_or("").contains(where), qPrintable(domain.problem().value_or("none")));
        domain.setBool("showVolumes", false);
        QCOMPARE(readAll(file), broken);
        QCOMPARE(reasons.size(), 1);
        QVERIFY2(reasons.first().contains(where) && reasons.first().contains("Nothing was saved"), qPrintable(reasons.first()));
        writeAll(file, "{\"b\": \"fixed\"}");
        QCOMPARE(domain.string("b"), std::optional<QString>("fixed"));
        QVERIFY(!domain.problem());
    }

    // A settings file kept elsewhere by a dotfile manager stays a link, and what it links to
    // is written; the version replaced is kept as "<file>.last".
    void writesGoWhereTheFileLinksAndKeepTheLast() {
        const QString kept = home->writeFile("dotfiles/tarn.json", "{\"a\": true}");
        QDir().mkpath(QFileInfo(file).path());
        QVERIFY(QFile::link(kept, file));
        JsonDefaultsDomain domain(file);
        domain.setBool("b", true);
        QVERIFY(QFileInfo(file).isSymLink());
        QCOMPARE(QJsonDocument::fromJson(readAll(kept)).object(), (QJsonObject{{"a", true}, {"b", true}}));
        QCOMPARE(readAll(kept + ".last"), QByteArray("{\"a\": true}"));
    }

    // An editor saving in place truncates the file, then writes it: a Tarn write in between
    // waits for the content rather than replacing the file with its own key alone.
    void aSaveInPlaceIsWaitedFor() {
        home->writeFile(".config/tarn/defaults.json", "{\"a\": true}");
        JsonDefaultsDomain domain(file);
        std::unique_ptr<QThread> editor(QThread::create([this] {
            QFile saved(file);
            if (!saved.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
            QThread::msleep(300);
            saved.write("{\"a\": true, \"edited\": true}");
        }));
        editor->start();
        QThread::msleep(50);
        domain.setBool("b", true);
        editor->wait();
        const QJsonObject written = QJsonDocument::fromJson(readAll(file)).object();
        QCOMPARE(written, (QJsonObject{{"a", true}, {"edited", true}, {"b", true}}));
    }

    // A setting of another type (a hand edit) is kept aside before Tarn writes its own value.
    void aValueOfAnotherTypeIsKeptAside() {
        home->writeFile(".config/tarn/defaults.json", "{\"showGitStatus\": \"false\"}");
        JsonDefaultsDomain domain(file);
        domain.setBool("showGitStatus", true);
        const QStringList copies = copiesOf("defaults.showGitStatus-*.json");
        QCOMPARE(copies.size(), 1);
        QCOMPARE(QJsonDocument::fromJson(readAll(copies.first())).object().value("showGitStatus"), QJsonValue("false"));
    }

    void backUpKeepsEveryUnreadableValue() {
        JsonDefaultsDomain domain(file);
        home->writeFile(".config/tarn/defaults.json",
                        "{\"pinnedFolders\": {\"data\": \"W3sicGF0aCI6IDF9XQ==\"}, \"n\": 42}");
        QVERIFY(domain.contains("n"));
        QVERIFY(!domain.object("n"));
        domain.backUp("pinnedFolders");
        domain.setData("pinnedFolders", "[]");
        writeAll(file, "{\"pinnedFolders\": {\"data\": \"eA==\"}}");
        domain.backUp("pinnedFolders");
        const QStringList copies = copiesOf("defaults.pinnedFolders-*.json");
        QCOMPARE(copies.size(), 2);
        QStringList values;
        for (const QString& copy : copies)
            values << QJsonDocument::fromJson(readAll(copy)).object().value("pinnedFolders")
                          .toObject().value("data").toString();
        values.sort();
        QCOMPARE(values, QStringList({"W3sicGF0aCI6IDF9XQ==", "eA=="}));
        domain.backUp("absent"); // nothing to keep
        QCOMPARE(copiesOf("defaults.absent-*").size(), 0);
    }

    // A settings folder that cannot be written: the failure is reported, once per step.
    void failedWritesAreReported() {
        home->writeFile(".config/blocked", "a file where a folder should be");
        JsonDefaultsDomain domain(home->configHome() + "/blocked/tarn/defaults.json");
        QStringList reasons;
        domain.setWriteFailureHandler([&](const QString& reason) { reasons << reason; });
        domain.setBool("a", true);
        QCOMPARE(reasons.size(), 1);
        QVERIFY(reasons.first().contains("defaults.json"));
        domain.transaction([&] {
            domain.setBool("a", true);
            domain.setBool("b", true);
        });
        QCOMPARE(reasons.size(), 2);
        JsonDefaultsDomain(file).setBool("fine", true); // other domains are unaffected
        QCOMPARE(reasons.size(), 2);
    }

    // Only our own temporary files are cleaned up; the user's copies, whatever their names, stay.
    void staleTemporaryFilesAreRemoved() {
        JsonDefaultsDomain domain(file);
        domain.setBool("a", true);
        home->writeFile(".config/tarn/.defaults.json.tarn-Ab12Cd", "left by a killed writer");
        const QStringList users{"defaults.json.backup", "defaults.json.bak001", "defaults.json.orig12",
                                "defaults.json.Ab12Cd", ".defaults.json.tarn-old"};
        for (const QString& name : users) home->writeFile(".config/tarn/" + name, "the user's");
        domain.setBool("b", true);
        QVERIFY(!QFile::exists(home->configHome() + "/tarn/.defaults.json.tarn-Ab12Cd"));
        for (const QString& name : users) QVERIFY2(QFile::exists(home->configHome() + "/tarn/" + name), qPrintable(name));
        QVERIFY(QFile::exists(file + ".lock"));
    }

    void fullDiskKeepsTheFile_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("kept");
        using Step = JsonDefaultsDomain::WriteStep;
        QTest::newRow("write") << int(Step::write) << true;
        QTest::newRow("flush") << int(Step::flush) << true;
        QTest::newRow("rename") << int(Step::rename) << true;
        // The copy of the version replaced fails first, so nothing is written.
        QTest::newRow("folder fsync") << int(Step::directory) << true;
    }

    // A write that fails at any step is reported, and before the rename it leaves the old file
    // as it was and no temporary file behind.
    void fullDiskKeepsTheFile() {
        QFETCH(int, step);
        QFETCH(bool, kept);
        JsonDefaultsDomain domain(file);
        domain.setStringArray("pinned", {"a", "b"});
        const QByteArray before = readAll(file);
        QStringList reasons;
        domain.setWriteFailureHandler([&](const QString& reason) { reasons << reason; });
        domain.failWritesAt(JsonDefaultsDomain::WriteStep(step));
        domain.setBool("more", true);
        QCOMPARE(reasons.size(), 1);
        QVERIFY(reasons.first().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));
        QCOMPARE(readAll(file) == before, kept);
        QCOMPARE(copiesOf(".defaults.json.tarn-*"), QStringList());
        domain.failWritesAt(std::nullopt);
        QCOMPARE(domain.stringArray("pinned"), QStringList({"a", "b"}));
    }

    // The same on a real file system that is full, where one can be mounted.
    void fullFileSystemKeepsTheFile() {
        const QString folder = home->makeFolder("small");
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tarn-test", folder}) != 0)
            QSKIP("cannot mount a tmpfs here");
        {
            JsonDefaultsDomain domain(folder + "/defaults.json");
            QStringList reasons;
            domain.setWriteFailureHandler([&](const QString& reason) { reasons << reason; });
            domain.setStringArray("pinned", {"a", "b"});
            QVERIFY(reasons.isEmpty());
            domain.setString("huge", QString(100 * 1024, 'x')); // does not fit
            QCOMPARE(reasons.size(), 1);
            QCOMPARE(domain.stringArray("pinned"), QStringList({"a", "b"}));
            QVERIFY(!domain.contains("huge"));
            QCOMPARE(QDir(folder).entryList({".defaults.json.tarn-*"}, QDir::Files | QDir::Hidden), QStringList());
        }
        QProcess::execute("umount", {folder});
    }

    void specialSettingsFilesAreNeitherReadNorReplaced_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "fifo";
        QTest::newRow("larger than 16 MiB") << "large";
    }

    // A settings file that is no regular file reads as defaults at once and is never written over.
    void specialSettingsFilesAreNeitherReadNorReplaced() {
        QFETCH(QString, kind);
        QDir().mkpath(QFileInfo(file).path());
        if (kind == "fifo") QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0600) == 0);
        else writeAll(file, "{\"a\": \"" + QByteArray(17 << 20, 'x') + "\"}");
        JsonDefaultsDomain domain(file);
        QStringList reasons;
        domain.setWriteFailureHandler([&](const QString& reason) { reasons << reason; });
        QVERIFY(!domain.contains("a"));
        domain.setBool("b", true);
        QCOMPARE(reasons.size(), 1);
        QCOMPARE(QFileInfo(file).isFile(), kind == "large");
        if (kind == "large") QVERIFY(QFileInfo(file).size() > (17 << 20));
    }

    // Each store operation reads, changes and writes as one step across processes.
    void twoProcessesAddingFoldersLoseNothing() {
        const int perWriter = 300;
        QProcess first, second;
        first.start(DEFAULTS_WRITER, {"--folders", "a", QString::number(perWriter)});
        second.start(DEFAULTS_WRITER, {"--folders", "b", QString::number(perWriter)});
        QVERIFY(first.waitForFinished(120000));
        QVERIFY(second.waitForFinished(120000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        JsonDefaultsDomain domain(file);
        const auto folders = decodeList<PinnedFolder>(domain.data("pinnedFolders").value_or(""));
        QVERIFY(folders);
        QCOMPARE(folders->size(), 2 * perWriter);
    }

    void killedWriterNeverLeavesABrokenFile() {
        for (int round = 0; round < 25; ++round) {
            QProcess writer;
            writer.start(DEFAULTS_WRITER, {file, "k", "0"});
            QVERIFY(writer.waitForStarted());
            QTest::qWait(20 + QRandomGenerator::global()->bounded(60));
            writer.kill();
            QVERIFY(writer.waitForFinished());
            const QByteArray bytes = readAll(file);
            if (bytes.isEmpty()) continue; // killed before its first write
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
            QVERIFY(document.isObject());
        }
        JsonDefaultsDomain domain(file);
        domain.setBool("afterwards", true); // the lock of a killed writer is not left behind
        QCOMPARE(domain.boolean("afterwards"), std::optional(true));
        QCOMPARE(copiesOf("defaults.json.??????").size(), 0); // nor its temporary file
    }

    void concurrentWritersLoseNothing() {
        const int perWriter = 40;
        QProcess first, second;
        first.start(DEFAULTS_WRITER, {file, "a", QString::number(perWriter)});
        second.start(DEFAULTS_WRITER, {file, "b", QString::number(perWriter)});
        JsonDefaultsDomain here(file);
        for (int i = 0; i < perWriter; ++i) here.setBool(QString("c%1").arg(i), true);
        QVERIFY(first.waitForFinished(60000));
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        const QJsonObject all = QJsonDocument::fromJson(readAll(file)).object();
        for (const char* prefix : {"a", "b"})
            for (int i = 0; i < perWriter; ++i)
                QVERIFY2(all.contains(QString("%1%2").arg(prefix).arg(i)), prefix);
        for (int i = 0; i < perWriter; ++i) QVERIFY(all.contains(QString("c%1").arg(i)));
    }
};

TARN_TEST(JsonDefaultsDomainTest)
#include "JsonDefaultsDomainTest.moc"
