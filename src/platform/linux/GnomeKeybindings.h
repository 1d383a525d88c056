#pragma once

#include "platform/GlobalHotkeys.h"

#include <QMap>
#include <QString>

typedef struct _GSettingsBackend GSettingsBackend;

namespace tarn {

// Global hotkeys as GNOME's own custom shortcuts, where GNOME offers no shortcuts portal
// (GNOME 47 and older on Wayland): each hotkey Tarn binds is an entry of the media-keys
// plugin's `custom-keybindings` that runs `tarn --quick-open` or `tarn --menu`, which reach
// the running Tarn over the session bus. Nothing is written until the user has set the keys up
// once (`setUp`, after a confirmation); Tarn's entries are its own (paths ending in
// "/tarn-…/"), the user's others are never touched, and none is listed twice.
class GnomeKeybindings : public GlobalHotkeys {
public:
    // `backend`: where GSettings keeps the values (the default, dconf, when none).
    explicit GnomeKeybindings(GSettingsBackend* backend = nullptr);
    ~GnomeKeybindings() override;
    GnomeKeybindings(const GnomeKeybindings&) = delete;
    GnomeKeybindings& operator=(const GnomeKeybindings&) = delete;

    // Whether this is a GNOME session whose custom shortcuts can be written: the schemas are
    // installed and settings are kept (not GSettings' memory backend).
    static bool available();
    static bool isGnomeSession();

    bool grab(int id, int keyCode, int carbonModifiers) override;
    void release(int id) override;
    void describe(int id, const QString& description) override;
    bool canBind() const override { return enabled; }
    bool holds(int id) const override;
    QString setUpPlace() const override { return enabled ? QString() : QStringLiteral("GNOME"); }
    bool setUp() override;

    // The preset as GNOME writes a key: "<Control><Alt>space"; empty for a key outside the table.
    static QString accelerator(int keyCode, int carbonModifiers);
    // The GNOME setting (window manager, shell) that already uses the combination, such as
    // "activate-window-menu"; empty when none does. `backend` as for the constructor.
    static QString heldByGnome(int keyCode, int carbonModifiers, GSettingsBackend* backend = nullptr);

    static constexpr char listSchema[] = "org.gnome.settings-daemon.plugins.media-keys";
    static constexpr char entrySchema[] = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
    static constexpr char entriesPath[] = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";

private:
    static QString entryPath(int id);
    QStringList entries() const;
    // The key the custom shortcut at `path` has; empty when none.
    QString bindingAt(const QString& path) const;
    void setEntries(const QStringList& paths);

    GSettingsBackend* backend;
    bool enabled = false;
    QMap<int, QString> descriptions;
};

} // namespace tarn
