#include "menu/Icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QIconEngine>
#include <QMimeDatabase>
#include <QPainter>
#include <QPalette>
#include <QStandardPaths>
#include <QStyle>

namespace tarn::Icons {

namespace {

struct Symbol {
    QStringList themeNames;
    QStyle::StandardPixmap fallback;
    bool symbolic = true; // false for a kind of file, shown as file managers show it
};

// Every system symbol any menu or panel of Tarn names.
const QHash<QString, Symbol>& symbols() {
    static const QHash<QString, Symbol> table{
        {"folder", {{"folder"}, QStyle::SP_DirIcon, false}},
        {"folder.fill", {{"folder"}, QStyle::SP_DirIcon, false}},
        {"terminal", {{"utilities-terminal", "terminal"}, QStyle::SP_ComputerIcon}},
        {"magnifyingglass", {{"edit-find", "system-search"}, QStyle::SP_FileDialogContentsView}},
        {"link", {{"insert-link", "emblem-symbolic-link", "text-html"}, QStyle::SP_FileLinkIcon}},
        {"star", {{"starred", "emblem-favorite", "bookmark-new"}, QStyle::SP_DialogYesButton}},
        {"clock", {{"document-open-recent", "appointment-soon", "preferences-system-time"},
                   QStyle::SP_BrowserReload}},
        {"square.stack.3d.up.fill", {{"accessories-text-editor", "text-editor"}, QStyle::SP_FileIcon}},
        {"square.stack.3d.forward.dottedline", {{"system-run", "application-x-executable"},
                                                QStyle::SP_MediaPlay}},
        {"rectangle.3.group", {{"view-grid", "view-app-grid", "preferences-desktop"},
                               QStyle::SP_FileDialogListView}},
        {"rectangle.stack", {{"view-paged", "edit-copy"}, QStyle::SP_FileDialogDetailedView}},
        {"arrow.triangle.branch", {{"vcs-branch", "git", "network-workgroup"}, QStyle::SP_DirLinkIcon}},
        {"tray", {{"inbox", "mail-inbox", "folder-download"}, QStyle::SP_DriveHDIcon}},
        {"gearshape", {{"preferences-system", "emblem-system", "configure"}, QStyle::SP_FileDialogInfoView}},
        {"plus", {{"list-add", "add"}, QStyle::SP_FileDialogNewFolder}},
        {"exclamationmark.triangle", {{"dialog-warning"}, QStyle::SP_MessageBoxWarning}},
        {"camera.viewfinder", {{"camera-photo", "applets-screenshooter", "image-x-generic"},
                               QStyle::SP_DesktopIcon}},
        {"externaldrive", {{"drive-harddisk", "drive-removable-media"}, QStyle::SP_DriveHDIcon}},
        {"eject", {{"media-eject"}, QStyle::SP_MediaStop}},
        {"arrow.down.circle", {{"folder-download", "go-down"}, QStyle::SP_ArrowDown}},
    };
    return table;
}

// A desktop without a session (a bare X server) names no icon theme; use one that is there.
void chooseThemeOnce() {
    static const bool chosen = [] {
        const QString current = QIcon::themeName();
        if (!current.isEmpty() && current != QLatin1String("hicolor")) return true;
        for (const char* theme : {"Adwaita", "breeze", "Papirus", "Tango"}) {
            for (const QString& base :
                 QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, "icons",
                                           QStandardPaths::LocateDirectory)) {
                if (QFileInfo::exists(base + QLatin1Char('/') + QLatin1String(theme) + "/index.theme")) {
                    QIcon::setThemeName(QLatin1String(theme));
                    return true;
                }
            }
        }
        return true;
    }();
    (void)chosen;
}

} // namespace

QStringList themeNames(const QString& symbol) { return symbols().value(symbol).themeNames; }

namespace {

// A theme's one-colour symbol drawn in the text colour of the menus (themes draw them in a grey
// made for light backgrounds), as GTK and Plasma recolour them: the menus' symbols are of one
// family and read in light and dark palettes alike. A panel that draws Tarn's menu gets the
// symbol's name and recolours it itself.
class SymbolicIconEngine : public QIconEngine {
public:
    explicit SymbolicIconEngine(const QString& name) : name(name), shape(QIcon::fromTheme(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap drawn = shape.pixmap(size, QIcon::Normal, state);
        const QPalette palette = QApplication::palette("QMenu");
        // Menus draw the highlighted row's icon in the Active mode.
        const QColor ink = mode == QIcon::Selected || mode == QIcon::Active ? palette.color(QPalette::Active, QPalette::HighlightedText)
                           : mode == QIcon::Disabled ? palette.color(QPalette::Disabled, QPalette::Text)
                                                     : palette.color(QPalette::Active, QPalette::Text);
        QPainter painter(&drawn);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(drawn.rect(), ink);
        return drawn;
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override { return shape.availableSizes(mode, state); }
    QString iconName() override { return name; }
    QString key() const override { return QStringLiteral("TarnSymbolic"); }
    QIconEngine* clone() const override { return new SymbolicIconEngine(name); }

private:
    QString name;
    QIcon shape;
};

QIcon lookUpSymbol(const QString& name) {
    chooseThemeOnce();
    const auto found = symbols().constFind(name);
    if (found == symbols().constEnd()) return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    for (const QString& themeName : found->themeNames) {
        if (const QString symbolic = themeName + QStringLiteral("-symbolic"); found->symbolic && QIcon::hasThemeIcon(symbolic))
            return QIcon(new SymbolicIconEngine(symbolic));
    }
    for (const QString& themeName : found->themeNames)
        if (QIcon::hasThemeIcon(themeName)) return QIcon::fromTheme(themeName);
    return QApplication::style()->standardIcon(found->fallback);
}
} // namespace

// By type, as file managers show them, from the icon theme; made once per type, however many
// files a folder holds. On a dark menu a file is the type's one-colour symbol: the themes'
// full-colour pages are white sheets that glare there. Folders keep their colour.
QIcon file(const QString& path) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QFileInfo(path), QMimeDatabase::MatchExtension);
    chooseThemeOnce();
    const bool folder = type.inherits(QStringLiteral("inode/directory"));
    const bool dark = !folder && QApplication::palette("QMenu").color(QPalette::Window).lightness() < 128;
    static QHash<QString, QIcon> byType; // by theme, tone and type: the desktop may change them
    const QString key = QIcon::themeName() + (dark ? "/dark/" : "/") + type.name();
    const auto found = byType.constFind(key);
    if (found != byType.constEnd()) return *found;
    QIcon icon;
    for (const QString& name : {type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic")})
        if (dark && icon.isNull() && QIcon::hasThemeIcon(name + "-symbolic")) icon = QIcon(new SymbolicIconEngine(name + "-symbolic"));
    if (icon.isNull()) {
        const QIcon fallback = QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
        icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
    }
    byType.insert(key, icon);
    return icon;
}

QIcon symbol(const QString& name) {
    chooseThemeOnce();
    static QHash<QString, QIcon> cache; // by theme and name: the desktop may change its theme
    const QString key = QIcon::themeName() + '/' + name;
    const auto found = cache.constFind(key);
    if (found != cache.constEnd()) return *found;
    const QIcon icon = lookUpSymbol(name);
    cache.insert(key, icon);
    return icon;
}

} // namespace tarn::Icons
