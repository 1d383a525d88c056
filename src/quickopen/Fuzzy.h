#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

namespace tarn::Fuzzy {

// How well `query` matches `candidate`, higher is better: 1000 equal, 800-898 prefix, 700-799
// substring at a word start, 550-649 substring inside a word, 400 and below scattered letters;
// none when the letters are not all there. Case is ignored; characters are what a user sees
// (grapheme clusters). Allocates nothing when both texts are ASCII.
std::optional<int> score(QStringView query, QStringView candidate);

// The same score computed the general way for any text; `score` takes it for non-ASCII input.
std::optional<int> scoreUnicode(QStringView query, QStringView candidate);

// A text lowered once, for scoring against many others: a catalogue keeps one per candidate
// and a query is prepared once per keystroke, instead of lowering both on every comparison.
class Prepared {
public:
    Prepared() = default;
    explicit Prepared(const QString& text);

    const QString& text() const { return original; }

private:
    friend std::optional<int> score(const Prepared& query, const Prepared& candidate);
    QString original;
    QByteArray lowered; // the ASCII text with A-Z lowered; empty when the text is not plain ASCII
    bool ascii = false;
};

// The same score as `score(QStringView, QStringView)` of the two texts. For ASCII text it
// rejects a candidate in one pass over it before looking for a prefix or substring.
std::optional<int> score(const Prepared& query, const Prepared& candidate);

} // namespace tarn::Fuzzy
