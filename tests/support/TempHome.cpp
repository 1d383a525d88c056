#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <ftw.h>
#include <cstdio>

namespace tarn::test {

namespace {
const QHash<QByteArray, QString> variables{{"HOME", ""},
                                           {"XDG_CONFIG_HOME", "/.config"},
                                           {"XDG_DATA_HOME", "/.local/share"},
                                           {"XDG_CACHE_HOME", "/.cache"},
                                           {"XDG_STATE_HOME", "/.local/state"},
                                           {"XDG_RUNTIME_DIR", "/.runtime"},
                                           {"XDG_DATA_DIRS", "/system/share"},
                                           {"XDG_CONFIG_DIRS", "/system/etc/xdg"}};
}

TempHome::TempHome() {
    for (auto it = variables.begin(); it != variables.end(); ++it) {
        previous.insert(it.key(), qEnvironmentVariableIsSet(it.key().constData())
                                      ? std::optional(qgetenv(it.key().constData()))
                                      : std::nullopt);
        QDir().mkpath(dir.path() + it.value());
        qputenv(it.key().constData(), QFile::encodeName(dir.path() + it.value()));
    }
    QFile::setPermissions(dir.path() + "/.runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // File types are the system's: the MIME database is read from the data folders.
    QFile::link(QStringLiteral("/usr/share/mime"), dir.path() + "/system/share/mime");
}

TempHome::~TempHome() {
    // By bytes: QDir cannot name a file whose name is not UTF-8 to remove it, and the home
    // would stay behind in /tmp.
    ::nftw(QFile::encodeName(dir.path()).constData(),
           [](const char* path, const struct stat*, int, FTW*) {
               std::remove(path);
               return 0; // the rest all the same
           },
           16,
           FTW_DEPTH | FTW_PHYS);
    for (auto it = previous.begin(); it != previous.end(); ++it) {
        if (it.value())
            qputenv(it.key().constData(), *it.value());
        else
            qunsetenv(it.key().constData());
    }
}

QString TempHome::makeFolder(const QString& relative) const {
    const QString absolute = dir.path() + '/' + relative;
    QDir().mkpath(absolute);
    return QDir::cleanPath(absolute);
}

QString TempHome::writeFile(const QString& relative, const QByteArray& contents) const {
    const QString absolute = QDir::cleanPath(dir.path() + '/' + relative);
    QDir().mkpath(QFileInfo(absolute).path());
    QFile file(absolute);
    if (file.open(QIODevice::WriteOnly)) file.write(contents);
    return absolute;
}

QString TempHome::writeScript(const QString& relative, const QByteArray& contents) const {
    const QString absolute = writeFile(relative, contents);
    QFile::setPermissions(absolute, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return absolute;
}

} // namespace tarn::test
