#include "model/LocalizedCompare.h"

namespace tarn {

namespace {

qsizetype digitRunEnd(const QString& s, qsizetype from) {
    while (from < s.size() && s.at(from).isDigit()) ++from;
    return from;
}

// Compares two runs of digits by value: leading zeros do not count, a longer significant run
// is larger, equal lengths compare digit by digit.
int compareNumbers(const QString& a, qsizetype aBegin, qsizetype aEnd, const QString& b,
                   qsizetype bBegin, qsizetype bEnd) {
    while (aBegin < aEnd - 1 && a.at(aBegin).digitValue() == 0) ++aBegin;
    while (bBegin < bEnd - 1 && b.at(bBegin).digitValue() == 0) ++bBegin;
    if (aEnd - aBegin != bEnd - bBegin) return (aEnd - aBegin) < (bEnd - bBegin) ? -1 : 1;
    for (; aBegin < aEnd; ++aBegin, ++bBegin) {
        const int difference = a.at(aBegin).digitValue() - b.at(bBegin).digitValue();
        if (difference != 0) return difference;
    }
    return 0;
}

// The letters without their accents, case folded: "Élan" gives "elan".
QString baseLetters(const QString& s) {
    const QString decomposed = s.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) out += c;
    return out.toCaseFolded();
}

// Compares the texts `fold` makes of x and y, digit runs by value.
template <typename Fold> int compareFolded(const QString& x, const QString& y, Fold fold) {
    qsizetype i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        const QChar c = fold(x.at(i)), d = fold(y.at(j));
        if (c.isDigit() && d.isDigit()) {
            const qsizetype iEnd = digitRunEnd(x, i), jEnd = digitRunEnd(y, j);
            if (int byValue = compareNumbers(x, i, iEnd, y, j, jEnd)) return byValue;
            i = iEnd;
            j = jEnd;
            continue;
        }
        if (c != d) return c < d ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < x.size()) return 1;
    if (j < y.size()) return -1;
    return 0;
}

int compareFolded(const QString& x, const QString& y) {
    return compareFolded(x, y, [](QChar c) { return c; });
}

// Case folding of ASCII, done as the comparison goes: a folder of 200 000 names is ordered
// without a folded copy of each name at every comparison.
QChar foldASCII(QChar c) { return c.unicode() >= 'A' && c.unicode() <= 'Z' ? QChar(c.unicode() + 32) : c; }

bool isASCII(const QString& s) {
    for (const QChar c : s)
        if (c.unicode() >= 0x80) return false;
    return true;
}

} // namespace

int localizedStandardCompare(const QString& a, const QString& b) {
    // Plain ASCII has no accents to set aside (most names, and sorts compare often).
    if (isASCII(a) && isASCII(b)) return compareFolded(a, b, foldASCII);
    // Accented letters sort with their base letter; only between names that differ in
    // nothing else does the accent decide, the plain one first.
    if (const int primary = compareFolded(baseLetters(a), baseLetters(b))) return primary;
    return compareFolded(a.normalized(QString::NormalizationForm_C).toCaseFolded(),
                         b.normalized(QString::NormalizationForm_C).toCaseFolded());
}

} // namespace tarn
