#pragma once

#include <QString>

namespace tarn {

// A name as Tarn shows it: each bidirectional control (U+202A–U+202E, U+2066–U+2069) becomes a
// visible mark such as "[RLO]", so "rtl\u202Etxt.exe" cannot pass for "rtlexe.txt". Isolating
// the whole name would not do: an override inside it still reverses the rest. Only the shown
// text changes; the file keeps its real name.
QString visibleText(const QString& text);

// A menu item's text as it reads: "&&" is a literal "&", a lone "&" marks a mnemonic.
QString actionTextAsShown(const QString& text);

// `text` as a tooltip that shows it as written: Qt takes a tooltip that looks like markup for
// markup, so a folder named "<img src=…>" would show a picture. Lines stay lines.
QString plainToolTip(const QString& text);

} // namespace tarn
