#pragma once

#include <QUrl>
#include <QWidget>

namespace tarn {

// A small floating preview of one file: an image, the start of a text file, or the file's
// icon with its name, kind, size and dates. Space or Escape closes it.
class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    PreviewWindow();

    // Shows `file` (replacing what was shown) and brings the window forward.
    void preview(const QUrl& file);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void clear();
};

} // namespace tarn
