#pragma once

#include <QPoint>
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

protected:
    bool event(QEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QuickOpenController& controller;
    QuickOpenView* content;
    std::optional<QPoint> dragOffset;
};

} // namespace tarn
