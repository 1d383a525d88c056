#pragma once

#include <QFileInfo>
#include <QIcon>
#include <QStringList>

namespace tarn::test {

// The system's Adwaita icon theme while the object lives (the tests' XDG folders hide the
// system's icons); the theme and search paths before it come back afterwards.
class AdwaitaTheme {
public:
    AdwaitaTheme() : paths(QIcon::themeSearchPaths()), name(QIcon::themeName()) {
        QIcon::setThemeSearchPaths({"/usr/share/icons"});
        QIcon::setThemeName("Adwaita");
    }
    ~AdwaitaTheme() {
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(name);
    }
    AdwaitaTheme(const AdwaitaTheme&) = delete;
    AdwaitaTheme& operator=(const AdwaitaTheme&) = delete;

    static bool installed() { return QFileInfo::exists("/usr/share/icons/Adwaita/index.theme"); }

private:
    QStringList paths;
    QString name;
};

} // namespace tarn::test
