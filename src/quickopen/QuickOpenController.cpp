#include "quickopen/QuickOpenController.h"

#include "actions/Opener.h"
#include "library/Library.h"
#include "discovery/ShortcutsCLI.h"
#include "menu/ActionItem.h"
#include "menu/ItemActions.h"
#include "menu/LazyMenu.h"
#include "index/FileIndex.h"
#include "menu/Presets.h"
#include "model/Store.h"
#include "platform/FloatingWindow.h"
#include "platform/GlobalHotkeys.h"
#include "platform/Platform.h"
#include "quickopen/QuickOpenPanel.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace tarn {

namespace {
constexpr QSize panelSize(640, 440);
const QPoint actionsMenuAt(60, 110); // from the panel's top-left

QuickOpenController::ScreenArea areaOf(const QScreen* screen) {
    return {screen->geometry(), screen->availableGeometry()};
}

bool commandHeld(Qt::KeyboardModifiers modifiers) { return modifiers & Qt::ControlModifier; }
bool optionHeld(Qt::KeyboardModifiers modifiers) { return modifiers & Qt::AltModifier; }
} // namespace

QuickOpenController& QuickOpenController::shared() {
    // Never destroyed: the panel must not outlive the application object in a static's
    // destructor.
    static auto* instance = new QuickOpenController;
    return *instance;
}

QuickOpenController::QuickOpenController() {
    quickModel.setIndex(&FileIndex::shared());
    rerank.setSingleShot(true);
    rerank.setInterval(250);
    connect(&FileIndex::shared(), &FileIndex::changed, this, [this] {
        if (isShown() && !quickModel.query().trimmed().isEmpty() && !rerank.isActive()) rerank.start();
    });
    connect(&rerank, &QTimer::timeout, this, &QuickOpenController::indexChanged);
}

void QuickOpenController::indexChanged() {
    if (!isShown()) return;
    const std::optional<QOEntry> kept = quickModel.selected();
    quickModel.recompute();
    for (int row = 0; kept && row < quickModel.results().size(); ++row)
        if (quickModel.results()[row].id() == kept->id()) quickModel.setSelection(row);
}

void QuickOpenController::indexFolders() {
    QList<IndexRoot> roots;
    for (const PinnedFolder& folder : Store::shared().pinnedFolders())
        roots << IndexRoot{QFile::encodeName(QDir::cleanPath(folder.path)), {folder.options.showHidden}};
    const Store& store = Store::shared();
    if (store.boolean(Keys::showDownloads, true))
        roots << IndexRoot{QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)), {false, 1}};
    if (store.boolean(Keys::showScreenshots, true))
        roots << IndexRoot{QFile::encodeName(Presets::screenshotFolder()), {false, 1}};
    FileIndex::shared().setRoots(roots);
}

void QuickOpenController::show() {
    // The window goes up first, and the request leaves for the display server at once; the
    // keys typed meanwhile are held for it (see windowDidBecomeKey). The catalogue is what the
    // library already has: it is kept up to date in the background.
    quickModel.setQuery(QString());
    if (!panel) makePanel();
    installMonitor(); // before any key can reach the window
    // The window manager forgets these when the window is hidden.
    FloatingWindow::prepare(*panel);
    if (panel->isCentredInside()) {
        // At the size it will have, so that its first frame already has the panel in the middle.
        if (const QScreen* screen = QGuiApplication::screenAt(QCursor::pos()))
            panel->resize(screen->availableGeometry().size());
        panel->showMaximized();
    } else {
        position(*panel);
        panel->show();
    }
    panel->raise();
    panel->activateWindow();
    FloatingWindow::sendNow();
    Library& library = Library::shared();
    library.refresh(false);
    indexFolders();
    FileIndex::shared().readUnwatched();
    // The same catalogue as at the last showing needs no preparing again.
    if (const QList<QOEntry> entries = library.quickOpenEntries(); entries != quickModel.all())
        quickModel.setAll(entries);
    quickModel.recompute();
    quickModel.setFocusToken(quickModel.focusToken() + 1);
}

void QuickOpenController::close() {
    // Only a panel that is up lets the keys go: a late second close must not drop what is
    // held for the next showing.
    if (isShown()) platform().hotkeys().releaseKeys(0);
    if (panel) panel->hide();
    if (monitor) {
        qApp->removeEventFilter(this);
        monitor = false;
    }
}

void QuickOpenController::toggle() {
    if (isShown())
        close();
    else
        show();
}

bool QuickOpenController::isShown() const { return panel && panel->isVisible(); }

QWidget* QuickOpenController::panelWidget() const { return panel.get(); }

void QuickOpenController::openRow(int row) {
    quickModel.setSelection(row);
    const std::optional<QOEntry> entry = quickModel.selected();
    if (!entry) return;
    close();
    Opener::open(entry->entry, false);
}

std::optional<QPoint> QuickOpenController::origin(const QList<ScreenArea>& screens,
                                                  const std::optional<ScreenArea>& main, QPoint mouse,
                                                  QSize panel) {
    std::optional<ScreenArea> screen;
    for (const ScreenArea& area : screens) {
        if (area.frame.contains(mouse)) {
            screen = area;
            break;
        }
    }
    if (!screen) screen = main;
    if (!screen) return std::nullopt;
    const QRect& visible = screen->visible;
    const double left = visible.x() + visible.width() / 2.0 - 0.5 * panel.width();
    const double top = visible.y() + 0.15 * visible.height();
    return QPoint(qRound(left), qRound(top));
}

void QuickOpenController::windowDidResignKey() {
    if (showingMenu) return;
    // While a hotkey is held (the keyboard repeating it), its key grab takes the focus, and the
    // window manager may not give it back: the panel takes it back once the key is up.
    if (platform().hotkeys().isHeld()) {
        refocusAfterHotkey();
        return;
    }
    // Where the focus passes through no window for a moment (Wayland, a keyboard plugged in),
    // only a loss that lasts closes the panel.
    if (const int grace = FloatingWindow::focusLossGrace(); grace > 0) {
        QTimer::singleShot(grace, this, [this] {
            if (panel && panel->isVisible() && !panel->isActiveWindow() && !showingMenu) close();
        });
        return;
    }
    close();
}

// The keys typed since the hotkey come to the search field, in order. Not at Qt's activation,
// which can come before the display server moves the focus: a key typed in between would go to
// the window the user left.
void QuickOpenController::windowDidBecomeKey() {
    if (panel) platform().hotkeys().releaseKeys(panel->winId());
}

void QuickOpenController::refocusAfterHotkey() {
    QTimer::singleShot(50, this, [this] {
        if (!panel || !panel->isVisible() || panel->isActiveWindow()) return;
        if (platform().hotkeys().isHeld())
            refocusAfterHotkey();
        else
            panel->activateWindow();
    });
}

bool QuickOpenController::eventFilter(QObject* watched, QEvent* event) {
    // The panel reads its keys before the focused field does; other windows are left alone.
    if (event->type() != QEvent::KeyPress || !panel || !watched->isWidgetType()) return false;
    if (static_cast<QWidget*>(watched)->window() != panel.get()) return false;
    return handle(static_cast<const QKeyEvent&>(*event));
}

bool QuickOpenController::handle(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    switch (event.key()) {
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_Up: quickModel.move(-1); return true;
    case Qt::Key_Down: quickModel.move(+1); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: openSelection(modifiers); return true;
    case Qt::Key_K:
        // Shift makes it another key ("K"), as on the keyboard it is typed with.
        if (commandHeld(modifiers) && !(modifiers & Qt::ShiftModifier)) {
            showActions();
            return true;
        }
        return false;
    default: return false;
    }
}

void QuickOpenController::openSelection(Qt::KeyboardModifiers modifiers) {
    const std::optional<QOEntry> selected = quickModel.selected();
    if (!selected) return;
    const Entry& entry = selected->entry;
    const bool linkOrShortcut = entry.kind == EntryKind::link || entry.kind == EntryKind::shortcut;
    close();
    if (commandHeld(modifiers)) {
        if (entry.kind == EntryKind::link) {
            Opener::openURL(entry.url, false);
        } else if (entry.kind == EntryKind::shortcut) {
            ShortcutsCLI::run(entry);
        } else {
            Opener::reveal(entry.url);
        }
    } else if (optionHeld(modifiers) && !linkOrShortcut) {
        Opener::openInTerminal(entry.url);
    } else {
        Opener::open(entry, modifiers & Qt::ShiftModifier);
    }
}

void QuickOpenController::showActions() {
    const std::optional<QOEntry> selected = quickModel.selected();
    if (!selected || !panel) return;
    QPointer<LazyMenu> menu = LazyMenu::holding(QString(), ItemActions::items(selected->entry));
    const qint64 fired = ActionItem::fireCount;
    showingMenu = true;
    menu->exec(panel->mapToGlobal(actionsMenuAt));
    showingMenu = false;
    delete menu.data();
    if (ActionItem::fireCount == fired) {
        panel->activateWindow();
        // The menu may have taken the focus with it; the search field gets it back.
        quickModel.setFocusToken(quickModel.focusToken() + 1);
    } else {
        close();
    }
}

void QuickOpenController::position(QWidget& window) {
    QList<ScreenArea> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens << areaOf(screen);
    std::optional<ScreenArea> main;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) main = areaOf(primary);
    if (const std::optional<QPoint> place = origin(screens, main, QCursor::pos(), window.size()))
        window.move(*place);
}

void QuickOpenController::makePanel() {
    panel = std::make_unique<QuickOpenPanel>(*this);
    if (FloatingWindow::placedByCompositorAlone()) {
        panel->centreInside(panelSize);
        return;
    }
    // A fixed size: Wayland compositors float such a window instead of tiling it.
    panel->setFixedSize(panelSize);
}

void QuickOpenController::installMonitor() {
    if (monitor) return;
    qApp->installEventFilter(this);
    monitor = true;
}

} // namespace tarn
