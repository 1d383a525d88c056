#pragma once

#include "platform/Dialogs.h"

namespace tarn {

// Dialogs as Qt widgets: QMessageBox for alerts, QFileDialog for open panels.
class LinuxDialogs : public Dialogs {
public:
    int ask(const QString& message, const QString& informative,
            const QStringList& buttons) override;
    std::optional<QList<QUrl>> openPanel(const OpenPanelRequest& request) override;
    std::optional<FormAnswer> form(const FormRequest& request) override;
    std::optional<QStringList> pickShortcuts(const QString& title, const QList<PickerGroup>& groups,
                                             const QStringList& selected) override;
    void activate() override;

protected:
    void showWarning(const QString& message, const QString& informative) override;
};

} // namespace tarn
