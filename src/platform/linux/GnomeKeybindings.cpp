#include "platform/linux/GnomeKeybindings.h"

#include "platform/linux/PortalGlobalHotkeys.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <cstring>

namespace tarn {

namespace {

// What each hotkey runs: the request a later start hands to the running Tarn.
const QMap<int, QString> arguments{{1, QStringLiteral("--quick-open")}, {2, QStringLiteral("--menu")}};

// The settings GNOME binds its own keys in.
const char* const gnomeKeySchemas[] = {
    "org.gnome.desktop.wm.keybindings", "org.gnome.mutter.keybindings", "org.gnome.mutter.wayland.keybindings",
    "org.gnome.shell.keybindings", GnomeKeybindings::listSchema,
};

GSettingsSchema* schemaOf(const char* id) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr;
}

// The settings of schema `id` (at `path` for a relocatable one); none when it is not installed.
GSettings* settingsOf(const char* id, GSettingsBackend* backend, const QString& path = QString()) {
    GSettingsSchema* schema = schemaOf(id);
    if (!schema) return nullptr;
    const QByteArray at = path.toUtf8();
    GSettings* settings = g_settings_new_full(schema, backend, path.isEmpty() ? nullptr : at.constData());
    g_settings_schema_unref(schema);
    return settings;
}

QStringList strings(GSettings* settings, const char* key) {
    QStringList list;
    gchar** values = g_settings_get_strv(settings, key);
    for (gchar** value = values; value && *value; ++value) list << QString::fromUtf8(*value);
    g_strfreev(values);
    return list;
}

// "<Primary><Alt>Space" and "<Alt><Control>space" alike: "alt+control|space".
QString normalized(const QString& accelerator) {
    QStringList modifiers;
    QString rest = accelerator.trimmed();
    while (rest.startsWith('<')) {
        const qsizetype end = rest.indexOf('>');
        if (end < 0) return QString();
        QString name = rest.mid(1, end - 1).toLower();
        if (name == QLatin1String("primary") || name == QLatin1String("ctrl")) name = QStringLiteral("control");
        if (name == QLatin1String("mod1")) name = QStringLiteral("alt");
        if (name == QLatin1String("mod4")) name = QStringLiteral("super");
        modifiers << name;
        rest = rest.mid(end + 1);
    }
    if (rest.isEmpty()) return QString();
    modifiers.sort();
    modifiers.removeDuplicates();
    return modifiers.join('+') + '|' + rest.toLower();
}

// Tarn as GNOME runs it: by name when that is this program, else by its whole path.
QString program() {
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString found = QStandardPaths::findExecutable(QStringLiteral("tarn"));
    if (!found.isEmpty() && QFileInfo(found).canonicalFilePath() == self) return QStringLiteral("tarn");
    return '\'' + QString(self).replace('\'', QLatin1String("'\\''")) + '\'';
}

} // namespace

GnomeKeybindings::GnomeKeybindings(GSettingsBackend* backend) : backend(backend) {
    if (backend) g_object_ref(backend);
    const QStringList paths = entries();
    for (auto it = arguments.cbegin(); it != arguments.cend(); ++it)
        if (paths.contains(entryPath(it.key()))) enabled = true;
}

GnomeKeybindings::~GnomeKeybindings() {
    if (backend) g_object_unref(backend);
}

bool GnomeKeybindings::isGnomeSession() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':').contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
}

bool GnomeKeybindings::available() {
    if (!isGnomeSession()) return false;
    GSettingsSchema* list = schemaOf(listSchema);
    GSettingsSchema* entry = schemaOf(entrySchema);
    const bool installed = list && entry;
    if (list) g_settings_schema_unref(list);
    if (entry) g_settings_schema_unref(entry);
    if (!installed) return false;
    GSettingsBackend* kept = g_settings_backend_get_default();
    const bool memory = std::strcmp(G_OBJECT_TYPE_NAME(kept), "GMemorySettingsBackend") == 0;
    g_object_unref(kept);
    return !memory;
}

QString GnomeKeybindings::accelerator(int keyCode, int carbonModifiers) {
    const QString trigger = PortalGlobalHotkeys::trigger(keyCode, carbonModifiers);
    if (trigger.isEmpty()) return QString();
    static const QMap<QString, QString> names{{QStringLiteral("CTRL"), QStringLiteral("<Control>")},
                                              {QStringLiteral("ALT"), QStringLiteral("<Alt>")},
                                              {QStringLiteral("SHIFT"), QStringLiteral("<Shift>")},
                                              {QStringLiteral("LOGO"), QStringLiteral("<Super>")}};
    QStringList parts = trigger.split('+');
    const QString key = parts.takeLast();
    QString written;
    for (const QString& part : parts) written += names.value(part);
    return written + key;
}

QString GnomeKeybindings::heldByGnome(int keyCode, int carbonModifiers, GSettingsBackend* backend) {
    const QString wanted = normalized(accelerator(keyCode, carbonModifiers));
    if (wanted.isEmpty()) return QString();
    for (const char* id : gnomeKeySchemas) {
        GSettings* settings = settingsOf(id, backend);
        if (!settings) continue;
        GSettingsSchema* schema = nullptr;
        g_object_get(settings, "settings-schema", &schema, nullptr);
        gchar** keys = schema ? g_settings_schema_list_keys(schema) : nullptr;
        QString holder;
        for (gchar** key = keys; key && *key && holder.isEmpty(); ++key) {
            GVariant* value = g_settings_get_value(settings, *key);
            QStringList accelerators;
            if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY))
                accelerators = strings(settings, *key);
            else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
                accelerators << QString::fromUtf8(g_variant_get_string(value, nullptr));
            g_variant_unref(value);
            for (const QString& accelerator : accelerators)
                if (normalized(accelerator) == wanted) holder = QString::fromUtf8(*key);
        }
        g_strfreev(keys);
        if (schema) g_settings_schema_unref(schema);
        g_object_unref(settings);
        if (!holder.isEmpty()) return holder;
    }
    return QString();
}

QString GnomeKeybindings::entryPath(int id) {
    return QString::fromLatin1(entriesPath) + QStringLiteral("tarn") + arguments.value(id).mid(1) + '/';
}

QStringList GnomeKeybindings::entries() const {
    GSettings* list = settingsOf(listSchema, backend);
    if (!list) return {};
    const QStringList paths = strings(list, "custom-keybindings");
    g_object_unref(list);
    return paths;
}

void GnomeKeybindings::setEntries(const QStringList& paths) {
    GSettings* list = settingsOf(listSchema, backend);
    if (!list) return;
    QList<QByteArray> bytes;
    for (const QString& path : paths) bytes << path.toUtf8();
    std::vector<const gchar*> values;
    for (const QByteArray& path : bytes) values.push_back(path.constData());
    values.push_back(nullptr);
    g_settings_set_strv(list, "custom-keybindings", values.data());
    g_object_unref(list);
}

// Refused, like a key another application holds, when GNOME itself or one of the user's own
// custom shortcuts uses the combination: GNOME would give the key to that one.
bool GnomeKeybindings::grab(int id, int keyCode, int carbonModifiers) {
    const QString key = accelerator(keyCode, carbonModifiers);
    if (!enabled || !arguments.contains(id) || key.isEmpty()) return false;
    if (!heldByGnome(keyCode, carbonModifiers, backend).isEmpty()) return false;
    QStringList paths = entries();
    for (const QString& path : paths)
        if (path != entryPath(id) && normalized(bindingAt(path)) == normalized(key)) return false;
    GSettings* entry = settingsOf(entrySchema, backend, entryPath(id));
    if (!entry) return false;
    const QString name = QStringLiteral("Tarn: ") + descriptions.value(id, arguments.value(id));
    const QString command = program() + ' ' + arguments.value(id);
    g_settings_set_string(entry, "name", name.toUtf8().constData());
    g_settings_set_string(entry, "command", command.toUtf8().constData());
    g_settings_set_string(entry, "binding", key.toUtf8().constData());
    g_object_unref(entry);
    if (!paths.contains(entryPath(id))) setEntries(paths << entryPath(id));
    g_settings_sync();
    if (holdingChanged) holdingChanged();
    return true;
}

void GnomeKeybindings::release(int id) {
    if (!arguments.contains(id)) return;
    QStringList paths = entries();
    if (paths.removeAll(entryPath(id)) > 0) setEntries(paths);
    if (GSettings* entry = settingsOf(entrySchema, backend, entryPath(id))) {
        for (const char* key : {"name", "command", "binding"}) g_settings_reset(entry, key);
        g_object_unref(entry);
    }
    g_settings_sync();
    if (holdingChanged) holdingChanged();
}

void GnomeKeybindings::describe(int id, const QString& description) { descriptions.insert(id, description); }

bool GnomeKeybindings::holds(int id) const {
    return entries().contains(entryPath(id)) && !bindingAt(entryPath(id)).isEmpty();
}

QString GnomeKeybindings::bindingAt(const QString& path) const {
    GSettings* entry = settingsOf(entrySchema, backend, path);
    if (!entry) return QString();
    gchar* binding = g_settings_get_string(entry, "binding");
    const QString text = QString::fromUtf8(binding);
    g_free(binding);
    g_object_unref(entry);
    return text;
}

bool GnomeKeybindings::setUp() {
    enabled = true;
    if (holdingChanged) holdingChanged();
    return true;
}

} // namespace tarn
