// Tarn's keys as GNOME's custom shortcuts, against GNOME's real schemas and GSettings' keyfile
// backend in a file of the test's own.
#include "TempHome.h"
#include "TestMain.h"
#include "platform/linux/GnomeKeybindings.h"

#include <QFile>
#include <QTest>

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

using namespace tarn;

class GnomeKeybindingsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;
    GSettingsBackend* backend = nullptr;

    GSettings* settings(const char* schema, const QString& path = QString()) {
        GSettingsSchema* found = g_settings_schema_source_lookup(g_settings_schema_source_get_default(), schema, TRUE);
        const QByteArray at = path.toUtf8();
        GSettings* opened = g_settings_new_full(found, backend, path.isEmpty() ? nullptr : at.constData());
        g_settings_schema_unref(found);
        return opened;
    }
    QStringList list() {
        GSettings* media = settings(GnomeKeybindings::listSchema);
        gchar** paths = g_settings_get_strv(media, "custom-keybindings");
        QStringList result;
        for (gchar** path = paths; *path; ++path) result << QString::fromUtf8(*path);
        g_strfreev(paths);
        g_object_unref(media);
        return result;
    }
    // "name|command|binding" of the entry at `path`.
    QString entry(const QString& path) {
        GSettings* entry = settings(GnomeKeybindings::entrySchema, path);
        QStringList values;
        for (const char* key : {"name", "command", "binding"}) {
            gchar* value = g_settings_get_string(entry, key);
            values << QString::fromUtf8(value);
            g_free(value);
        }
        g_object_unref(entry);
        return values.join('|');
    }

private Q_SLOTS:
    // GLib finds the schemas once per process, in the data folders of that moment: before a
    // test home replaces them.
    void initTestCase() { g_settings_schema_source_get_default(); }

    void init() {
        home = std::make_unique<test::TempHome>();
        GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
        GSettingsSchema* entry = schemas ? g_settings_schema_source_lookup(schemas, GnomeKeybindings::entrySchema, TRUE) : nullptr;
        if (!entry) QSKIP("needs GNOME's schemas (gnome-settings-daemon-common)");
        g_settings_schema_unref(entry);
        backend = g_keyfile_settings_backend_new(QFile::encodeName(home->path() + "/keyfile").constData(), "/", nullptr);
    }
    void cleanup() {
        g_clear_object(&backend);
        home.reset();
    }

    // Nothing is written before the user agrees; then each key is one entry of Tarn's own,
    // changed in place, refused where GNOME or the user's own shortcut has the key, removed
    // on Off; the user's entry is never touched, and the next start finds the keys set up.
    void customShortcutsAreTarnsOwn() {
        const QString own = QString(GnomeKeybindings::entriesPath) + "custom0/";
        GSettings* mine = settings(GnomeKeybindings::entrySchema, own);
        g_settings_set_string(mine, "name", "Terminal");
        g_settings_set_string(mine, "command", "kgx");
        g_settings_set_string(mine, "binding", "<Super><Alt>o");
        g_object_unref(mine);
        GSettings* media = settings(GnomeKeybindings::listSchema);
        const QByteArray ownPath = own.toUtf8();
        const gchar* paths[] = {ownPath.constData(), nullptr};
        g_settings_set_strv(media, "custom-keybindings", paths);
        g_object_unref(media);

        GnomeKeybindings keys(backend);
        keys.describe(1, "Quick Open");
        QVERIFY(!keys.canBind());
        QCOMPARE(keys.setUpPlace(), QString("GNOME"));
        QVERIFY(!keys.grab(1, 49, 0x1800));
        QCOMPARE(list(), QStringList{own});

        QVERIFY(keys.setUp());
        QVERIFY(keys.canBind() && keys.setUpPlace().isEmpty());
        const QString quickOpen = QString(GnomeKeybindings::entriesPath) + "tarn-quick-open/";
        QVERIFY(keys.grab(1, 49, 0x1800));
        QCOMPARE(list(), QStringList({own, quickOpen}));
        QVERIFY(entry(quickOpen).startsWith("Tarn: Quick Open|"));
        QVERIFY(entry(quickOpen).endsWith(" --quick-open|<Control><Alt>space"));
        QVERIFY(keys.holds(1) && !keys.holds(2));
        QVERIFY(keys.grab(1, 31, 0x1800)); // another preset: the same entry
        QCOMPARE(list(), QStringList({own, quickOpen}));
        QVERIFY(entry(quickOpen).endsWith("|<Control><Alt>o"));

        QVERIFY(!keys.grab(2, 49, 0x800)); // GNOME's window menu
        QCOMPARE(GnomeKeybindings::heldByGnome(49, 0x800, backend), QString("activate-window-menu"));
        QVERIFY(!keys.grab(2, 31, 0x900)); // the user's own shortcut
        QVERIFY(keys.grab(2, 46, 0x1800));
        QCOMPARE(list().size(), 3);
        QVERIFY(GnomeKeybindings(backend).canBind()); // found set up at the next start

        keys.release(1);
        keys.release(2);
        QCOMPARE(list(), QStringList{own});
        QVERIFY(!keys.holds(1));
        QCOMPARE(entry(own), QString("Terminal|kgx|<Super><Alt>o"));
        g_settings_sync();
        QFile file(home->path() + "/keyfile");
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains("custom0"));
    }
};

TARN_TEST(GnomeKeybindingsTest)
#include "GnomeKeybindingsTest.moc"
