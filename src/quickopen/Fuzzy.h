#pragma once

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

} // namespace tarn::Fuzzy
