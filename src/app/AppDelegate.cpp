#include "app/AppDelegate.h"

#include "actions/HotkeyCenter.h"
#include "actions/Hotkeys.h"
#include "app/PreviewWindow.h"
#include "library/Library.h"
#include "git/GitReaderProcess.h"
#include "git/GitStore.h"
#include "menu/MenuBarIcon.h"
#include "menu/MenuController.h"
#include "menu/MenuStyle.h"
#include "model/Store.h"
#include "platform/DefaultsDomain.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/FloatingMenu.h"
#include "platform/GlobalHotkeys.h"
#include "platform/StatusItem.h"
#include "platform/Platform.h"
#include "platform/WindowTitles.h"
#include "quickopen/QuickOpenController.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QStandardPaths>
#include <QScreen>
#include <QMenu>
#include <QPointer>

namespace tarn {

namespace {
constexpr int panelLookDelay = 1000; // the tray host places and paints the icon first
constexpr int panelWatchInterval = 5000;
constexpr int indexFoldersInterval = 2000;
}

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate() = default;

void AppDelegate::showQuickOpen() { QuickOpenController::shared().show(); }

// The two hotkeys' settings, Quick Open's first.
// The hotkeys by number (1 and 2), as the desktop and Tarn's alerts name them.
static QString hotkeyName(int id) { return id == 1 ? QStringLiteral("Quick Open") : QStringLiteral("Menu at Pointer"); }

static QStringList storedHotkeys() {
    const DefaultsDomain& defaults = Store::shared().defaults();
    return {defaults.string(Keys::quickOpenHotkey).value_or(QStringLiteral("ctrl-opt-space")),
            defaults.string(Keys::menuHotkey).value_or(QStringLiteral("ctrl-opt-m"))};
}

void AppDelegate::applyHotkeys(bool showErrors) {
    HotkeyCenter& center = HotkeyCenter::shared();
    GlobalHotkeys& keys = platform().hotkeys();
    keys.describe(1, hotkeyName(1));
    keys.describe(2, hotkeyName(2));
    boundHotkeys = storedHotkeys();
    const bool quickOpen = center.registerHotkey(1, Hotkeys::preset(boundHotkeys.at(0)),
                                                 [] { QuickOpenController::shared().toggle(); });
    platform().hotkeys().holdKeysOnPress(1); // the letters typed right after it are the query
    QPointer<AppDelegate> self(this);
    const bool menu = center.registerHotkey(2, Hotkeys::preset(boundHotkeys.at(1)), [self] {
        if (self) self->popUpMenuAtPointer();
    });
    if (showErrors && keys.canBind() && (!quickOpen || !menu))
        platform().dialogs().warn(QStringLiteral("Keyboard shortcut unavailable"),
                                  QStringLiteral("That shortcut is already used by another app. Pick a different one."));
    reportUnknownHotkeys();
}

// A shortcut the settings file names that is none of Tarn's (a typo by hand) binds nothing;
// said once for each such value.
void AppDelegate::reportUnknownHotkeys() {
    for (int i = 0; i < 2; ++i) {
        const QString& stored = boundHotkeys.at(i);
        if (stored == QLatin1String("off") || Hotkeys::preset(stored) || reportedHotkeys.value(i) == stored) continue;
        reportedHotkeys[i] = stored;
        platform().dialogs().warn(QStringLiteral("Keyboard shortcut unknown"),
                                  QString::fromUtf8("The settings give %1 the shortcut \u201C%2\u201D, which Tarn does not know, so "
                                                    "%1 has none. Pick one in Settings \u2192 Keyboard Shortcuts.")
                                      .arg(hotkeyName(i + 1), stored));
    }
}

void AppDelegate::perform(SessionInstance::Request request) {
    switch (request) {
    case SessionInstance::Request::quickOpen: QuickOpenController::shared().toggle(); break;
    case SessionInstance::Request::menu: popUpMenuAtPointer(); break;
    case SessionInstance::Request::none: break;
    }
}

void AppDelegate::popUpMenuAtPointer() {
    // One menu at a time: asked again while it is open, it stays as it is.
    if (!menuController || menuController->menu()->isVisible()) return;
    platform().dialogs().activate();
    floatingMenu->popUp(QCursor::pos());
}

void AppDelegate::setMenuBarIcon(const QString& id) {
    if (status) showIcon(id);
}

// A StatusNotifier panel gets the icon by its theme name and recolours it to its own style;
// an XEmbed tray shows pixels, so it gets the drawn icon in the tone that suits the panel.
void AppDelegate::showIcon(const QString& style) {
    status->setIcon(MenuBarIcon::themedImage(style), MenuBarIcon::image(style, panelColor));
}

void AppDelegate::tellWhenNoTray() {
    if (status && status->isShown()) return;
    // Once per login session: the runtime folder lives as long as the session.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QFile marker(runtime + QStringLiteral("/tarn-told-no-tray"));
    if (!runtime.isEmpty() && (marker.exists() || !marker.open(QIODevice::WriteOnly))) return;
    const Store& store = Store::shared();
    // Only keys Tarn holds are named: where the desktop binds keys itself, what to bind comes first
    // (GNOME shows a notification's first line alone until it is hovered).
    auto keyTitle = [&](int id, const char* key, const char* preset) {
        const std::optional<HotkeyPreset> found = Hotkeys::preset(store.defaults().string(key).value_or(preset));
        return found && HotkeyCenter::shared().isBound(id) ? found->title : QString();
    };
    const QString quickOpen = keyTitle(1, Keys::quickOpenHotkey, "ctrl-opt-space");
    const QString menu = keyTitle(2, Keys::menuHotkey, "ctrl-opt-m");
    QString summary, body;
    if (quickOpen.isEmpty() && menu.isEmpty()) {
        summary = QString::fromUtf8("To open Tarn, bind “tarn --quick-open” to a key");
        body = QString::fromUtf8(
            "No tray on this desktop shows Tarn's icon, and Tarn cannot bind keys here. Bind the commands "
            "“tarn --quick-open” and “tarn --menu” to keys in your desktop's keyboard settings (GNOME: Settings → "
            "Keyboard → View and Customize Shortcuts → Custom Shortcuts; KDE: System Settings → Shortcuts; sway: a "
            "bindsym line in its config). The icon appears when a tray does.");
    } else {
        QStringList ways;
        if (!quickOpen.isEmpty()) ways << quickOpen + QStringLiteral(" opens Quick Open");
        if (!menu.isEmpty()) ways << menu + QStringLiteral(" opens the menu at the pointer");
        ways << QString::fromUtf8("the commands “tarn --quick-open” and “tarn --menu” do the same");
        summary = ways.first() + QStringLiteral(": Tarn is running without a tray icon");
        body = QStringLiteral("No tray on this desktop shows Tarn's icon. ") + ways.join(QStringLiteral("; ")) +
               QStringLiteral(". The icon appears when a tray does.");
    }
    platform().desktop().notify(summary, body, [summary, body] {
        // No notification service either: a small window that does not wait for an answer.
        auto* box = new QMessageBox(QMessageBox::Information, summary, body, QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setInformativeText(QString());
        box->setModal(false);
        box->show();
    });
}

void AppDelegate::quickLook(const QList<QUrl>& urls) {
    quickLookURLs = urls;
    platform().dialogs().activate();
    if (urls.isEmpty()) return;
    if (!previewWindow) previewWindow = std::make_unique<PreviewWindow>();
    previewWindow->preview(urls.first());
}

void AppDelegate::applicationDidFinishLaunching() {
    // A setting that cannot be written must not vanish silently. Writes may fail on any
    // thread; the alert is shown on ours.
    QPointer<AppDelegate> self(this);
    platform().defaults().setWriteFailureHandler([self](const QString& reason) {
        QMetaObject::invokeMethod(
            qApp, [self, reason] { if (self) self->reportSettingsNotSaved(reason); },
            Qt::QueuedConnection);
    });
    menuController = std::make_unique<MenuController>();
    QMenu* menu = menuController->menu();
    floatingMenu = std::make_unique<FloatingMenu>(*menu);

    status = &platform().statusItem();
    status->setToolTip(QStringLiteral("Tarn"));
    const Store& store = Store::shared();
    showIcon(store.defaults().string(Keys::menuBarIcon).value_or(QStringLiteral("tarn")));
    // Panels that draw the menu themselves get it exported; elsewhere a click pops our own
    // menu up, so styled rows and in-place updates behave the same under every tray.
    status->setMenu({menu, &MenuStyle::panelText});
    status->activated = [self](QPoint where) {
        if (self) self->popUpMenu(where);
    };
    status->shownChanged = [self] {
        if (self) self->lookAtPanelSoon();
    };
    status->show();
    if (status->isShown()) lookAtPanelSoon();
    followPanelTone();
    QTimer::singleShot(noTrayNoticeDelay, this, &AppDelegate::tellWhenNoTray);

    // The file index follows the pinned folders; a look at the settings costs next to nothing.
    QuickOpenController::indexFolders();
    auto* folderWatch = new QTimer(this);
    connect(folderWatch, &QTimer::timeout, [] { QuickOpenController::indexFolders(); });
    folderWatch->start(indexFoldersInterval);

    // A git reader that ended while it waited (killed by the user or the system) is reaped.
    auto* reaper = new QTimer(this);
    connect(reaper, &QTimer::timeout, [] { GitReaderProcess::shared().reapEndedWorkers(); });
    reaper->start(GitReaderProcess::reapInterval);

    // An open Quick Open panel redraws its git details when a status arrives.
    GitStore::shared().onUpdate = [] {
        QuickOpenModel& model = QuickOpenController::shared().model();
        model.setGitVersion(model.gitVersion() + 1);
    };
    applyHotkeys(false);
    // A hotkey edited in the settings file is bound when the file changes; a file that no
    // longer reads is told of.
    reportUnreadableSettings();
    platform().defaults().watchChanges([self] {
        if (!self) return;
        self->reportUnreadableSettings();
        if (storedHotkeys() != self->boundHotkeys) self->applyHotkeys(false);
    });
    Library::shared().refresh(false);
    scheduleFirstRunPrompt();
}

void AppDelegate::scheduleFirstRunPrompt() {
    const Store& store = Store::shared();
    if (store.pinnedFolders().isEmpty()) {
        QPointer<AppDelegate> self(this);
        QTimer::singleShot(addFolderPromptDelay, this, [self] {
            if (self && self->menuController) self->menuController->addFolder();
        });
    }
}

// A panel changes its tone without telling its icons: a theme switched, a panel that themes
// itself late at login, one restarted with another look, the icon re-docked or moved to another
// screen. The panel is looked at again after every palette or screen change Tarn hears of,
// and every few seconds for the changes nobody announces (a look costs a 22-pixel grab).
void AppDelegate::followPanelTone() {
    qApp->installEventFilter(this); // the palette's change, see eventFilter
    connect(qApp, &QGuiApplication::screenAdded, this, &AppDelegate::lookAtPanelSoon);
    connect(qApp, &QGuiApplication::screenRemoved, this, &AppDelegate::lookAtPanelSoon);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &AppDelegate::lookAtPanelSoon);
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &AppDelegate::matchIconToPanel);
    watch->start(panelWatchInterval);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange && watched == qApp) lookAtPanelSoon();
    return QObject::eventFilter(watched, event);
}

void AppDelegate::lookAtPanelSoon() { QTimer::singleShot(panelLookDelay, this, &AppDelegate::matchIconToPanel); }

// Panels are light or dark and a Linux tray does not tint its icons; look at the pixels
// around the icon once it is placed, and draw the key in the opposite tone.
void AppDelegate::matchIconToPanel() {
    if (!status || !status->isShown() || status->panelRecolours()) return; // the panel colours the icon itself
    const QRect where = status->geometry();
    QScreen* screen = where.isValid() ? QGuiApplication::screenAt(where.center()) : nullptr;
    if (!screen) return;
    const QPoint local = where.topLeft() - screen->geometry().topLeft();
    const QImage shot =
        screen->grabWindow(0, local.x(), local.y(), where.width(), where.height()).toImage();
    if (shot.width() < 2 || shot.height() < 2) return;
    // The key's rounded corners leave the panel showing at the icon's corners.
    int red = 0, green = 0, blue = 0;
    for (QPoint corner : {QPoint(0, 0), QPoint(shot.width() - 1, 0), QPoint(0, shot.height() - 1),
                          QPoint(shot.width() - 1, shot.height() - 1)}) {
        const QColor color = shot.pixelColor(corner);
        red += color.red(), green += color.green(), blue += color.blue();
    }
    const QColor panel(red / 4, green / 4, blue / 4);
    if (panelColor == panel) return;
    panelColor = panel;
    showIcon(Store::shared().defaults().string(Keys::menuBarIcon).value_or(QStringLiteral("tarn")));
}

void AppDelegate::reportSettingsNotSaved(const QString& reason) {
    // One alert for one action: a choice of several folders fails once per folder, and those
    // failures arrive together.
    if (saveAlertShowing) return;
    saveAlertShowing = true;
    QTimer::singleShot(0, this, [this, reason] {
        platform().dialogs().warn(QStringLiteral("Couldn\u2019t save settings"), reason);
        saveAlertShowing = false;
    });
}

// A tray program's standard error goes unseen: a settings file that does not read (a typo in a
// hand edit) is told of once, in an alert, each time it changes to another problem.
void AppDelegate::reportUnreadableSettings() {
    const std::optional<QString> problem = platform().defaults().problem();
    if (problem == settingsProblem) return;
    settingsProblem = problem;
    if (!problem) return;
    QTimer::singleShot(0, this, [problem] {
        platform().dialogs().warn(QStringLiteral("Tarn’s settings file has an error"),
                                  *problem + QStringLiteral(".\n\nTarn goes on with the settings it read last, and saves no "
                                                            "change until the file is fixed; it reads the file again as soon as it is saved."));
    });
}

void AppDelegate::popUpMenu(QPoint where) {
    // While a modal panel is up (the first-run folder choice), the menu would act behind it.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    floatingMenu->popUp(where.isNull() ? QCursor::pos() : where);
}

} // namespace tarn
