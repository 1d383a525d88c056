#pragma once

#include "quickopen/QuickOpenModel.h"

#include <QKeyEvent>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <memory>
#include <optional>

namespace tarn {

class QuickOpenPanel;

// Owns the Quick Open panel: fills the model when it shows, places it under the pointer, and
// reads the keys that move, open, reveal or act on the selection before the search field sees
// them. One shared instance, made on first use, living as long as the process. Main thread.
class QuickOpenController : public QObject {
    Q_OBJECT
public:
    static QuickOpenController& shared();

    QuickOpenModel& model() { return quickModel; }

    // Fills the model and brings the panel up, focused.
    void show();
    // Hides the panel (kept for the next show) and stops reading keys.
    void close();
    // The hotkey's meaning: close when shown, else show.
    void toggle();
    bool isShown() const;
    // The panel once made.
    QWidget* panelWidget() const;

    // Opens the result at `row` as a click does: selects it, closes, opens in the front.
    void openRow(int row);

    // Where a screen shows the panel.
    struct ScreenArea {
        QRect frame;   // the whole screen
        QRect visible; // without the panels of the desktop
    };
    // The panel's top-left: centred on the first screen whose frame holds `mouse` (else on
    // `main`), its top edge 15% of the visible height below the visible top. None when there
    // is no screen at all.
    static std::optional<QPoint> origin(const QList<ScreenArea>& screens, const std::optional<ScreenArea>& main,
                                        QPoint mouse, QSize panel);

    // Points the file index at the pinned folders (and Downloads and Screenshots), as the
    // settings have them now; what did not change is left as it is.
    static void indexFolders();

    // The panel lost the keyboard focus to another window.
    void windowDidResignKey();
    // The panel has the keyboard focus, as the display server says (Qt may say so earlier).
    void windowDidBecomeKey();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QuickOpenController();
    // Ranks again as the index grows or changes while the panel shows, keeping the selection.
    void indexChanged();
    void refocusAfterHotkey();
    bool handle(const QKeyEvent& event);
    void openSelection(Qt::KeyboardModifiers modifiers);
    void showActions();
    void position(QWidget& panel);
    void makePanel();
    void installMonitor();

    QuickOpenModel quickModel;
    std::unique_ptr<QuickOpenPanel> panel;
    bool monitor = false;
    bool showingMenu = false;
    QTimer rerank;
};

} // namespace tarn
