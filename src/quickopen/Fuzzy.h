#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>
#include <string_view>

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
    friend std::optional<int> scoreLowered(const Prepared& query, std::string_view candidate);
    QString original;
    QByteArray lowered; // the ASCII text with A-Z lowered; empty when the text is not plain ASCII
    bool ascii = false;
};

// The same score as `score(QStringView, QStringView)` of the two texts. For ASCII text it
// rejects a candidate in one pass over it before looking for a prefix or substring.
std::optional<int> score(const Prepared& query, const Prepared& candidate);

// The same for a candidate given as plain ASCII bytes already lowered (A-Z to a-z), as a file
// index keeps its names: nothing is converted per candidate.
std::optional<int> scoreLowered(const Prepared& query, std::string_view candidate);

// Whether bytes are text the ASCII scoring reads as a user does (no byte above 0x7f, no CR).
bool isPlainASCII(std::string_view text);

} // namespace tarn::Fuzzy
