#pragma once

#include "menu/MenuHost.h"
#include "platform/SessionInstance.h"

#include <QColor>
#include <QList>
#include <QStringList>
#include <QObject>
#include <QUrl>
#include <QTimer>
#include <memory>
#include <optional>

namespace tarn {

class FloatingMenu;
class PreviewWindow;
class StatusItem;

// Brings Tarn up once the event loop runs: the menu controller, the tray icon and the first-run
// prompt. Lives as long as the process.
class AppDelegate : public QObject, public MenuHost {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    void applicationDidFinishLaunching();

    // (Re-)binds both global hotkeys from the settings; with `showErrors`, one alert when
    // either is taken by another application.
    void applyHotkeys(bool showErrors) override;

    // Answers a request of the command line: the Quick Open panel toggled, or the menu popped up
    // at the pointer.
    void perform(SessionInstance::Request request);
    // The menu hotkey's meaning: the menu at the pointer, the application active.
    void popUpMenuAtPointer();

    // Shows the tray icon of the style `id` (the settings' "Tray Icon").
    void setMenuBarIcon(const QString& id) override;

    // Previews the first of `urls` in the preview window.
    void quickLook(const QList<QUrl>& urls) override;

    void showQuickOpen() override;

    StatusItem* statusItem() const { return status; }
    MenuController* controller() const override { return menuController.get(); }

    // Delays of the first-run prompts, in milliseconds.
    static constexpr int addFolderPromptDelay = 500;
    // How long a tray host has to appear before Tarn says it runs without an icon.
    static constexpr int noTrayNoticeDelay = 5000;

    // Says, once per login session, that no tray shows Tarn's icon and how to reach Tarn.
    void tellWhenNoTray();

private:
    void scheduleFirstRunPrompt();
    void popUpMenu(QPoint where);
    void reportSettingsNotSaved(const QString& reason);
    void reportUnreadableSettings();
    void reportUnknownHotkeys();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void followPanelTone();
    void lookAtPanelSoon(); // once the tray host has placed and painted the icon
    void matchIconToPanel();
    void showIcon(const QString& style);

    std::unique_ptr<MenuController> menuController;
    std::unique_ptr<FloatingMenu> floatingMenu; // the controller's menu, shown without a tray
    StatusItem* status = nullptr; // the platform's, once launching has finished
    bool saveAlertShowing = false;
    std::optional<QColor> panelColor; // what the tray icon sits on, once seen
    std::unique_ptr<PreviewWindow> previewWindow;
    QList<QUrl> quickLookURLs;
    QStringList boundHotkeys; // the settings the hotkeys were last bound from
    std::optional<QString> settingsProblem; // the last one told of
    QStringList reportedHotkeys{QString(), QString()}; // unknown shortcuts told of, by number
};

} // namespace tarn
