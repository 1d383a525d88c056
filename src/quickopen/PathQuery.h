#pragma once

#include "quickopen/Fuzzy.h"

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// A Quick Open query read as a path: words separated by spaces or "/". The last word is matched
// against an item's name by the fuzzy matcher; each word before it must appear, in order, in
// the names of the folders above the item ("acme api" finds ~/code/acme/api).
class PathQuery {
public:
    explicit PathQuery(const QString& trimmedQuery);

    const QString& text() const { return query; }
    // More than one word: folders count.
    bool hasFolderWords() const { return !folderWords.empty(); }
    const Fuzzy::Prepared& nameWord() const { return name; }
    // The name word's first letter lowered when it is ASCII, else 0: a name without it cannot
    // match, which one memchr tells before any scoring.
    char firstLetter() const { return first; }
    // Whether the folder words appear in order, each in a later folder than the one before, in
    // `folders` (names lowered, from the top down).
    bool inFolders(const std::vector<std::string_view>& folders) const;
    // The score of an item at `path` shown as `title`: the name word against the title, when
    // the folder words are in the path's folders.
    std::optional<int> score(const QString& title, const QString& path) const;
    // Whether `longer` is this query with more letters typed at its end, so that it matches only
    // what this one matches.
    bool narrowedBy(const PathQuery& longer) const;

private:
    QString query;
    std::vector<std::string> folderWords; // lowered UTF-8
    Fuzzy::Prepared name;
    char first = 0;
};

} // namespace tarn
