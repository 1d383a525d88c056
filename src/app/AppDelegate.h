#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

class QSystemTrayIcon;

namespace tarn {

class MenuController;

// Brings Tarn up once the event loop runs: the menu controller, the tray icon and the first-run
// prompt. Lives as long as the process.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    void applicationDidFinishLaunching();

    QSystemTrayIcon* statusItem() const { return trayIcon.get(); }
    MenuController* controller() const { return menuController.get(); }

    // Delay of the first-run add-folder prompt, in milliseconds.
    static constexpr int addFolderPromptDelay = 500;

private:
    void showStatusItemWhenTrayAppears();
    void popUpMenu();

    std::unique_ptr<MenuController> menuController;
    std::unique_ptr<QSystemTrayIcon> trayIcon;
    QTimer trayRetry;
};

} // namespace tarn
