#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace tarn {

// What an open panel asks for; the texts are shown as they are.
struct OpenPanelRequest {
    QString title;
    QString message;
    QString prompt;
    bool directoriesOnly = false; // else files and folders alike
    bool multipleSelection = false;
    QString directory; // where the panel starts; empty for its default

    bool operator==(const OpenPanelRequest&) const = default;
};

// A modal form: text fields (label, value) and an optional pop-up (label, options).
struct FormRequest {
    QString title;
    QString message;
    QList<QPair<QString, QString>> fields;
    std::optional<QPair<QString, QStringList>> popup;
    QString button;

    bool operator==(const FormRequest&) const = default;
};

// What a confirmed form holds: the field values, trimmed, and the pop-up's index (0 without).
struct FormAnswer {
    QStringList values;
    int choice = 0;

    bool operator==(const FormAnswer&) const = default;
};

// One group of the shortcut picker: a header and its shortcuts (identifier, name).
struct PickerGroup {
    QString header;
    QList<QPair<QString, QString>> shortcuts;

    bool operator==(const PickerGroup&) const = default;
};

// Modal dialogs. Kept behind this seam so tests answer them instead of a person.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A warning alert with one default button; the application is brought forward first and
    // the informative text is cut to its first 2000 characters.
    void warn(const QString& message, const QString& informative);

    // A modal question: the index of the chosen button in `buttons` (the first is the
    // default), or -1 when the dialog was closed without choosing.
    virtual int ask(const QString& message, const QString& informative,
                    const QStringList& buttons) = 0;

    // The chosen locations, or none when the user cancelled.
    virtual std::optional<QList<QUrl>> openPanel(const OpenPanelRequest& request) = 0;

    // The form's answer, or none when cancelled. Brings the application forward first; the
    // first field has the focus; the buttons are `button`, then "Cancel".
    virtual std::optional<FormAnswer> form(const FormRequest& request) = 0;

    // A checklist of shortcuts in groups, with a filter and a count; the ticked identifiers
    // in list order, or none when cancelled. `selected` starts ticked.
    virtual std::optional<QStringList> pickShortcuts(const QString& title, const QList<PickerGroup>& groups,
                                                     const QStringList& selected) = 0;

    // Brings the application in front of other applications.
    virtual void activate() = 0;

protected:
    virtual void showWarning(const QString& message, const QString& informative) = 0;
};

} // namespace tarn
