#include "quickopen/PathQuery.h"

#include <QStringList>

namespace tarn {

namespace {
bool separates(QChar c) { return c == '/' || c == '\t' || c.category() == QChar::Separator_Space; }

QStringList wordsOf(const QString& text) {
    QStringList words;
    QString word;
    for (const QChar c : text) {
        if (!separates(c)) {
            word += c;
            continue;
        }
        if (!word.isEmpty()) words << word;
        word.clear();
    }
    if (!word.isEmpty()) words << word;
    return words;
}
} // namespace

PathQuery::PathQuery(const QString& trimmedQuery) : query(trimmedQuery) {
    const QStringList words = wordsOf(trimmedQuery);
    for (qsizetype i = 0; i + 1 < words.size(); ++i) folderWords.push_back(words[i].toLower().toStdString());
    name = Fuzzy::Prepared(words.value(words.size() - 1));
    if (!name.text().isEmpty() && name.text()[0].unicode() < 0x80 && name.text()[0] != '\r')
        first = char(name.text()[0].toLower().unicode());
}

bool PathQuery::inFolders(const std::vector<std::string_view>& folders) const {
    size_t at = 0;
    for (const std::string& word : folderWords) {
        while (at < folders.size() && folders[at].find(word) == std::string_view::npos) ++at;
        if (at == folders.size()) return false;
        ++at;
    }
    return true;
}

std::optional<int> PathQuery::score(const QString& title, const QString& path) const {
    const QStringList parts = path.toLower().split('/', Qt::SkipEmptyParts);
    std::vector<std::string> names;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) names.push_back(parts[i].toStdString());
    const std::vector<std::string_view> folders(names.begin(), names.end());
    if (!inFolders(folders)) return std::nullopt;
    return Fuzzy::score(name, Fuzzy::Prepared(title));
}

bool PathQuery::narrowedBy(const PathQuery& longer) const {
    if (query.isEmpty() || !longer.query.startsWith(query) || longer.folderWords.size() != folderWords.size()) return false;
    for (qsizetype i = query.size(); i < longer.query.size(); ++i)
        if (separates(longer.query[i])) return false;
    return !query.isEmpty() && !separates(query.back());
}

} // namespace tarn
