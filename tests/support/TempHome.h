#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTemporaryDir>

namespace tarn::test {

// Points HOME and the XDG folders into a fresh temporary folder for its lifetime, so no test
// reads or writes the developer's own settings. Restores the previous values when destroyed.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path() const { return dir.path(); }
    QString configHome() const { return dir.path() + "/.config"; }

    // Makes the folder (and its parents) below the home and returns its absolute path.
    QString makeFolder(const QString& relative) const;
    // Writes a file below the home, making its folder, and returns its absolute path.
    QString writeFile(const QString& relative, const QByteArray& contents) const;
    // The same, executable by its owner: a script the code under test runs.
    QString writeScript(const QString& relative, const QByteArray& contents) const;

private:
    QTemporaryDir dir;
    QHash<QByteArray, std::optional<QByteArray>> previous;
};

} // namespace tarn::test
