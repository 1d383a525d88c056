#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <optional>

namespace tarn {

class QuickOpenController;
class QuickOpenView;

// The floating window of Quick Open: frameless, above other windows, out of the taskbar, moved
// by dragging its background. Closing or leaving it goes through the controller.
class QuickOpenPanel : public QWidget {
    Q_OBJECT
public:
    explicit QuickOpenPanel(QuickOpenController& controller);

    QuickOpenView* view() const { return content; }
    // Where the compositor places windows itself and centres none (GNOME on Wayland), the
    // window is shown maximized and transparent, the panel of `size` drawn in its middle, and
    // only the panel takes the pointer: a click beside it goes to the window under it.
    void centreInside(QSize size);
    bool isCentredInside() const { return centred.has_value(); }

protected:
    bool event(QEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect panelRect() const;

    QuickOpenController& controller;
    QuickOpenView* content;
    std::optional<QPoint> dragOffset;
    std::optional<QSize> centred; // the panel's size when centred inside a maximized window
};

} // namespace tarn
