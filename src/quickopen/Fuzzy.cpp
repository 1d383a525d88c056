#include "quickopen/Fuzzy.h"

#include <QList>
#include <QString>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cstring>

namespace tarn::Fuzzy {

namespace {

constexpr int exactScore = 1000;
constexpr int prefixBase = 900;
constexpr int wordStartBase = 800;
constexpr int inWordBase = 650;
constexpr int scatteredBase = 400;
constexpr int gapPenalty = 20;
constexpr int lengthCap = 100;

int capped(qsizetype n) { return static_cast<int>(std::min<qsizetype>(n, lengthCap)); }

int scattered(int gaps, qsizetype candidateLength) {
    return scatteredBase - gapPenalty * gaps - capped(candidateLength) / 4;
}

// ---- ASCII: one character per code unit, compared through a lower-case table. ----

char16_t lowerASCII(char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; }

bool isPlainASCII(QStringView text) {
    // A carriage return followed by a line feed is one user-perceived character; leave such
    // text to the general path.
    for (QChar c : text)
        if (c.unicode() >= 0x80 || c.unicode() == u'\r') return false;
    return true;
}

bool equalAt(QStringView c, qsizetype at, QStringView q) {
    for (qsizetype i = 0; i < q.size(); ++i)
        if (lowerASCII(c[at + i].unicode()) != lowerASCII(q[i].unicode())) return false;
    return true;
}

bool isAlphanumericASCII(char16_t c) {
    c = lowerASCII(c);
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}

std::optional<int> scoreASCII(QStringView q, QStringView c) {
    if (q.size() <= c.size() && equalAt(c, 0, q))
        return q.size() == c.size() ? exactScore : prefixBase - capped(c.size());
    for (qsizetype p = 1; p + q.size() <= c.size(); ++p) {
        if (!equalAt(c, p, q)) continue;
        const int base = isAlphanumericASCII(c[p - 1].unicode()) ? inWordBase : wordStartBase;
        return base - capped(p);
    }
    int gaps = 0;
    qsizetype at = 0, previous = -1;
    for (QChar qc : q) {
        if (qc == u' ') continue;
        const char16_t wanted = lowerASCII(qc.unicode());
        while (at < c.size() && lowerASCII(c[at].unicode()) != wanted) ++at;
        if (at >= c.size()) return std::nullopt;
        if (previous >= 0 && at != previous + 1) ++gaps;
        previous = at++;
    }
    return scattered(gaps, c.size());
}

// ---- Any text: lower-cased, composed, and cut into grapheme clusters. ----

struct Characters {
    QString text;
    QList<qsizetype> bounds; // start of each character, then the end of the text

    explicit Characters(QStringView source)
        : text(source.toString().toLower().normalized(QString::NormalizationForm_C)) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        bounds << 0;
        for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary())
            bounds << next;
        if (text.isEmpty()) bounds = {0};
    }
    qsizetype count() const { return bounds.size() - 1; }
    QStringView at(qsizetype i) const {
        return QStringView(text).mid(bounds[i], bounds[i + 1] - bounds[i]);
    }
    // Whether `other` appears here starting at character `i`, character for character.
    bool matchesAt(qsizetype i, const Characters& other) const {
        if (i + other.count() > count()) return false;
        for (qsizetype k = 0; k < other.count(); ++k)
            if (at(i + k) != other.at(k)) return false;
        return true;
    }
};

bool isLetterOrNumber(QStringView character) {
    const char32_t first = character.toUcs4().value(0);
    return QChar::isLetter(first) || QChar::isNumber(first);
}

} // namespace

std::optional<int> scoreUnicode(QStringView query, QStringView candidate) {
    const Characters q(query), c(candidate);
    if (q.count() == 0 || c.count() == 0) return std::nullopt;
    if (c.matchesAt(0, q)) return q.count() == c.count() ? exactScore : prefixBase - capped(c.count());
    for (qsizetype p = 1; p + q.count() <= c.count(); ++p) {
        if (!c.matchesAt(p, q)) continue;
        const int base = isLetterOrNumber(c.at(p - 1)) ? inWordBase : wordStartBase;
        return base - capped(p);
    }
    int gaps = 0;
    qsizetype at = 0, previous = -1;
    for (qsizetype k = 0; k < q.count(); ++k) {
        const QStringView wanted = q.at(k);
        if (wanted == u" ") continue;
        while (at < c.count() && c.at(at) != wanted) ++at;
        if (at >= c.count()) return std::nullopt;
        if (previous >= 0 && at != previous + 1) ++gaps;
        previous = at++;
    }
    return scattered(gaps, c.count());
}

std::optional<int> score(QStringView query, QStringView candidate) {
    if (query.isEmpty() || candidate.isEmpty()) return std::nullopt;
    if (isPlainASCII(query) && isPlainASCII(candidate)) return scoreASCII(query, candidate);
    return scoreUnicode(query, candidate);
}

Prepared::Prepared(const QString& text) : original(text), ascii(isPlainASCII(text)) {
    if (!ascii) return;
    lowered.resize(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        lowered[i] = static_cast<char>(lowerASCII(text[i].unicode()));
}

std::optional<int> score(const Prepared& query, const Prepared& candidate) {
    if (!query.ascii || !candidate.ascii) return score(query.original, candidate.original);
    return scoreLowered(query, std::string_view(candidate.lowered.constData(), candidate.lowered.size()));
}

std::optional<int> scoreLowered(const Prepared& query, std::string_view c) {
    if (!query.ascii) return score(query.original, QString::fromLatin1(c.data(), qsizetype(c.size())));
    const QByteArray& q = query.lowered;
    if (q.isEmpty() || c.empty()) return std::nullopt;
    const char* const begin = c.data();
    const char* const end = begin + c.size();

    // Every match holds the query's letters in order, so one pass over the candidate rejects
    // most of a catalogue, and counts the gaps a scattered match has.
    int gaps = 0;
    const char* at = begin;
    const char* previous = nullptr;
    for (const char wanted : q) {
        if (wanted == ' ') continue;
        const auto* found = static_cast<const char*>(std::memchr(at, wanted, end - at));
        if (!found) return std::nullopt;
        if (previous && found != previous + 1) ++gaps;
        previous = found;
        at = found + 1;
    }

    const auto size = static_cast<qsizetype>(c.size());
    if (q.size() <= size && std::memcmp(begin, q.constData(), q.size()) == 0)
        return q.size() == size ? exactScore : prefixBase - capped(size);
    if (q.size() < size) {
        const auto* found = static_cast<const char*>(
            ::memmem(begin + 1, size - 1, q.constData(), q.size()));
        if (found) {
            const qsizetype p = found - begin;
            const int base = isAlphanumericASCII(static_cast<unsigned char>(begin[p - 1]))
                                 ? inWordBase
                                 : wordStartBase;
            return base - capped(p);
        }
    }
    return scattered(gaps, size);
}

bool isPlainASCII(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r') return false;
    return true;
}

} // namespace tarn::Fuzzy
