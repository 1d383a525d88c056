#include "platform/VisibleText.h"

namespace tarn {

namespace {
const char* markFor(char16_t c) {
    switch (c) {
    case 0x202A: return "[LRE]";
    case 0x202B: return "[RLE]";
    case 0x202C: return "[PDF]";
    case 0x202D: return "[LRO]";
    case 0x202E: return "[RLO]";
    case 0x2066: return "[LRI]";
    case 0x2067: return "[RLI]";
    case 0x2068: return "[FSI]";
    case 0x2069: return "[PDI]";
    default: return nullptr;
    }
}
} // namespace

QString visibleText(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char* mark = markFor(text.at(i).unicode());
        if (!mark && shown.isNull()) continue;
        if (shown.isNull()) shown = text.left(i);
        if (mark) shown += QLatin1String(mark);
        else shown += text.at(i);
    }
    return shown.isNull() ? text : shown;
}

QString actionTextAsShown(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size()) ++i;
        else if (text.at(i) == QLatin1Char('&')) continue;
        shown += text.at(i);
    }
    return shown;
}

QString plainToolTip(const QString& text) {
    if (text.isEmpty()) return text;
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace tarn
