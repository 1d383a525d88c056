#include "menu/MenuStyle.h"

#include "actions/Hotkeys.h"
#include "platform/VisibleText.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPalette>
#include <QTextBoundaryFinder>

#include <cmath>

namespace tarn::MenuStyle {

namespace {

const char titleProperty[] = "tarnStyledTitle";
const QString ellipsis = QStringLiteral("\u2026");

bool digitsHaveEqualWidth(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        if (!qFuzzyCompare(metrics.horizontalAdvance(QLatin1Char(digit)), zero)) return false;
    return true;
}

} // namespace

QFont menuFont() { return QApplication::font("QMenu"); }

QFont infoFont() {
    // Made once: titles are built by the thousand.
    static const QFont font = [] {
        QFont f = QApplication::font();
        f.setPixelSize(11);
        f.setWeight(QFont::Normal);
        // Most desktop sans fonts already have tabular digits; a font without them gives way
        // to the fixed-pitch system font.
        if (!digitsHaveEqualWidth(f)) {
            f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            f.setPixelSize(11);
        }
        return f;
    }();
    return font;
}

qreal infoWidth() {
    static const qreal width = [] {
        const QFontMetricsF metrics(infoFont());
        qreal widest = metrics.horizontalAdvance(QString::fromUtf8("mainline \u00B13 \u21912 \u21931"));
        for (const HotkeyPreset& preset : Hotkeys::presets())
            widest = std::max(widest, metrics.horizontalAdvance(preset.title));
        return std::max<qreal>(86, std::ceil(widest));
    }();
    return width;
}

namespace {
qreal widening() { return infoWidth() - 86; }
} // namespace

qreal infoTab() { return 214 + widening(); }
qreal dotTab() { return 222 + widening(); }
qreal titleWithDot() { return 214 + widening(); }
qreal titleAlone() { return 230 + widening(); }

QFont dotFont() {
    QFont font = QApplication::font();
    font.setPixelSize(9);
    return font;
}

QColor secondaryColor() {
    return readableOn(QApplication::palette("QMenu").color(QPalette::Active, QPalette::PlaceholderText), menuBackground());
}

QColor disabledColor() {
    return readableOn(QApplication::palette("QMenu").color(QPalette::Disabled, QPalette::Text), menuBackground());
}

QColor markColor() { return readableOn(QApplication::palette("QMenu").color(QPalette::Active, QPalette::Link), menuBackground()); }

QColor menuBackground() {
    // Fusion paints menus in the base colour, a little lighter.
    return QApplication::palette("QMenu").color(QPalette::Active, QPalette::Base).lighter(108);
}

namespace {
double luminance(const QColor& colour) {
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

QColor mixed(const QColor& a, const QColor& b, double share) { // share of b
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share), float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}
} // namespace

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(QColor colour, const QColor& background) {
    colour = mixed(background, colour, colour.alphaF()); // as painted
    const QColor far = luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    // A little above 4.5: antialiased text reads lighter than its colour.
    for (int step = 0; step < 20 && contrast(colour, background) < 4.8; ++step) colour = mixed(colour, far, 0.1);
    return colour;
}

QColor dotColor() { return QColor(0x34, 0xC7, 0x59); }

QString truncate(const QString& text, const QFont& font, qreal width) {
    const QFontMetricsF metrics(font);
    if (metrics.horizontalAdvance(text) <= width) return text;
    QList<qsizetype> ends{0}; // where the text may be cut: before each user-perceived character
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary())
        ends << next;
    ends.removeLast(); // the whole text does not fit
    auto cutAt = [&](qsizetype k) { return text.left(ends[k]).trimmed() + ellipsis; };
    // The longest cut that fits, as removing one character after another from the end would
    // find it; a longer cut is never narrower, so halving the range finds it with few
    // measurements.
    qsizetype fits = -1, low = 0, high = ends.size() - 1;
    while (low <= high) {
        const qsizetype middle = (low + high) / 2;
        if (metrics.horizontalAdvance(cutAt(middle)) <= width) {
            fits = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return fits < 0 ? ellipsis : cutAt(fits);
}

StyledTitle title(const QString& text, const std::optional<StyledInfo>& info, bool reserveInfo,
                  std::optional<bool> dot) {
    const qreal width = (info || reserveInfo) ? titleWithInfo : !dot ? titleAlone() : titleWithDot();
    // A menu shows the same titles at every rebuild; each is measured once per width.
    static QHash<QPair<QString, int>, QString> truncated;
    const QPair<QString, int> key(text, int(width));
    auto found = truncated.constFind(key);
    if (found == truncated.constEnd()) {
        if (truncated.size() > 20000) truncated.clear();
        found = truncated.insert(key, truncate(visibleText(text), menuFont(), width));
    }
    StyledTitle result;
    result.title = *found;
    result.full = visibleText(text);
    result.tabbed = dot || info || reserveInfo;
    result.info = info;
    result.dot = dot;
    return result;
}

StyledInfo info(const QString& text) { return {truncate(visibleText(text), infoFont(), infoWidth())}; }

StyledInfo gitInfo(const GitStatus& status) {
    // Menus show the same few statuses on many rows and again at every rebuild.
    static QHash<GitStatus, StyledInfo> made;
    const auto found = made.constFind(status);
    if (found != made.constEnd()) return *found;
    if (made.size() > 4096) made.clear();
    const QString counters = status.counters();
    const qreal countersWidth =
        counters.isEmpty() ? 0 : QFontMetricsF(infoFont()).horizontalAdvance(' ' + counters);
    const QString branch = truncate(visibleText(status.branch), infoFont(), infoWidth() - countersWidth);
    StyledInfo info{counters.isEmpty() ? branch : branch + ' ' + counters};
    if (status.changes > 0) {
        info.markedFrom = branch.size() + 1; // the changes come first among the counters
        info.markedLength = counters.indexOf(' ') < 0 ? counters.size() : counters.indexOf(' ');
    }
    made.insert(status, info);
    return info;
}

QString plainText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

void setTitle(QAction* action, const StyledTitle& title) {
    action->setText(plainText(title.title));
    action->setProperty(titleProperty, QVariant::fromValue(title));
}

QString panelText(const QAction* action) {
    const std::optional<StyledTitle> title = titleOf(action);
    if (!title) return actionTextAsShown(action->text());
    // The panel has room: the title whole, and what the columns would show after it.
    QString text = title->full.isEmpty() ? title->title : title->full;
    if (title->info && !title->info->text.isEmpty()) text += QStringLiteral("   ") + title->info->text;
    if (title->dot.value_or(false)) text += QString::fromUtf8("  \u25CF");
    return text;
}

std::optional<StyledTitle> titleOf(const QAction* action) {
    const QVariant value = action->property(titleProperty);
    if (!value.canConvert<StyledTitle>()) return std::nullopt;
    return value.value<StyledTitle>();
}

} // namespace tarn::MenuStyle
