#pragma once

#include "git/GitStatus.h"

#include <QColor>
#include <QFont>
#include <QMetaType>
#include <QString>
#include <optional>

class QAction;

namespace tarn {

// A run of text drawn in the info column: its own font and colour.
struct StyledInfo {
    QString text;
    // The part that marks uncommitted changes ("±3"), drawn in the accent colour so that a
    // repository with changes stands out among clean ones; empty for none.
    qsizetype markedFrom = 0, markedLength = 0;
    bool operator==(const StyledInfo&) const = default;
};

// A two-column menu title: the title on the left, an optional info text right-aligned at the
// first tab stop, an optional green dot (or a blank of its width) at the second. Kept on the
// action and painted by MenuProxyStyle; the action's plain text is only the title.
struct StyledTitle {
    QString title;                   // already truncated to its width
    bool tabbed = false;             // whether anything follows the title
    std::optional<StyledInfo> info;  // in infoFont and the secondary colour
    std::optional<bool> dot;         // "●" when true, a figure space when false
    QString full;                    // the title whole, for panels that draw the menu

    bool operator==(const StyledTitle&) const = default;
};

namespace MenuStyle {

// Tab stops and widths in points; one point is one device-independent pixel here. The info
// column is 86 points, or wider when the info font needs it for an eight-letter branch with all
// three counters or for a hotkey ("Super+Ctrl+Alt+Space"); the columns right of the title move
// out by as much.
inline constexpr qreal titleWithInfo = 120;
qreal infoWidth();
qreal infoTab();      // right-aligned: the info text ends here
qreal dotTab();       // left-aligned: the dot starts here
qreal titleWithDot();
qreal titleAlone();

// The menu font at its default size.
QFont menuFont();
// 11 pt with digits of equal width, so counters line up from row to row.
QFont infoFont();
// 9 pt, for the dot.
QFont dotFont();
// The colour of secondary text (the info column), from the palette, made readable (4.5:1 at
// least) on the menu's background.
QColor secondaryColor();
// The colour of headers and greyed rows, readable in the same way.
QColor disabledColor();
// The colour of the marked part of an info text: the palette's link colour, readable.
QColor markColor();
// The menu's background as Tarn's menu style paints it.
QColor menuBackground();
// `colour` (over the background, where it is translucent) moved towards black or white until it
// reads at 4.5:1 against `background`.
QColor readableOn(QColor colour, const QColor& background);
// The contrast ratio of two colours, 1 to 21.
double contrast(const QColor& a, const QColor& b);
// The green of the open-window dot; readable on light and dark menus.
QColor dotColor();

// The two-column title (text truncated to titleWithInfo, titleWithDot or titleAlone).
StyledTitle title(const QString& text, const std::optional<StyledInfo>& info, bool reserveInfo,
                  std::optional<bool> dot);

// `text` truncated to infoWidth in infoFont.
StyledInfo info(const QString& text);

// Branch and counters, the branch cut so that both fit in infoWidth.
StyledInfo gitInfo(const GitStatus& status);

// `text` shortened at a user-perceived character, white space trimmed at the cut, with "…",
// so that it fits `width` points in `font`; "…" alone when nothing fits.
QString truncate(const QString& text, const QFont& font, qreal width);

// Sets the styled title on `action`; its plain text becomes the title (with "&" kept literal).
void setTitle(QAction* action, const StyledTitle& title);
// The row as a panel that draws the menu from texts shows it: the whole title, then the info
// and the dot; the text as it reads for a row without a styled title.
QString panelText(const QAction* action);
// The styled title of `action`, if it has one.
std::optional<StyledTitle> titleOf(const QAction* action);

// Text for QAction::setText with every "&" shown as itself rather than as a mnemonic.
QString plainText(const QString& text);

} // namespace MenuStyle
} // namespace tarn

Q_DECLARE_METATYPE(tarn::StyledTitle)
