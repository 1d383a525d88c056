#include "index/IgnoreRules.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace tarn {

namespace {

// One line of an ignore file as a pattern; false for blank lines and comments.
bool parseLine(std::string_view line, std::string& glob, bool& negated, bool& directoryOnly, bool& anchored) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') return false;
    // Trailing spaces go unless escaped with a backslash.
    size_t end = line.size();
    while (end > 0 && line[end - 1] == ' ' && !(end >= 2 && line[end - 2] == '\\')) --end;
    line = line.substr(0, end);
    negated = !line.empty() && line.front() == '!';
    if (negated) line.remove_prefix(1);
    directoryOnly = !line.empty() && line.back() == '/' && !(line.size() >= 2 && line[line.size() - 2] == '\\');
    if (directoryOnly) line.remove_suffix(1);
    if (line.empty()) return false;
    anchored = line.find('/') != std::string_view::npos;
    if (line.front() == '/') line.remove_prefix(1);
    glob.assign(line);
    return !glob.empty();
}

// Matches a bracket expression starting at pattern[at] ("["); sets `after` past its "]".
// False as the expression's own answer; `valid` false when there is no closing "]".
bool matchClass(std::string_view pattern, size_t at, char c, size_t& after, bool& valid) {
    size_t i = at + 1;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated) ++i;
    bool matched = false;
    bool first = true;
    for (; i < pattern.size() && (first || pattern[i] != ']'); ++i, first = false) {
        char low = pattern[i];
        if (low == '\\' && i + 1 < pattern.size()) low = pattern[++i];
        char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = pattern[i + 2];
            if (high == '\\' && i + 3 < pattern.size()) high = pattern[++i + 2];
            i += 2;
        }
        if (c >= low && c <= high) matched = true;
    }
    valid = i < pattern.size();
    after = i + 1;
    return matched != negated;
}

bool globFrom(std::string_view p, std::string_view t, int& budget) {
    size_t pi = 0, ti = 0;
    while (pi < p.size()) {
        if (--budget < 0) return false;
        const char c = p[pi];
        if (c == '*') {
            const bool twin = pi + 1 < p.size() && p[pi + 1] == '*';
            const bool bounded = pi == 0 || p[pi - 1] == '/';
            if (twin && bounded && pi + 2 == p.size()) return true; // "…/**": everything below
            if (twin && bounded && p[pi + 2] == '/') {
                // "**/": no folder or any number of whole folders.
                const std::string_view rest = p.substr(pi + 3);
                for (size_t k = ti;;) {
                    if (globFrom(rest, t.substr(k), budget)) return true;
                    const size_t slash = t.find('/', k);
                    if (slash == std::string_view::npos || budget < 0) return false;
                    k = slash + 1;
                }
            }
            while (pi < p.size() && p[pi] == '*') ++pi;
            const std::string_view rest = p.substr(pi);
            for (size_t k = ti; k <= t.size(); ++k) {
                if (globFrom(rest, t.substr(k), budget)) return true;
                if (k == t.size() || t[k] == '/' || budget < 0) return false;
            }
            return false;
        }
        if (ti >= t.size()) return false;
        if (c == '?') {
            if (t[ti] == '/') return false;
        } else if (c == '[') {
            size_t after = 0;
            bool valid = false;
            const bool matched = matchClass(p, pi, t[ti], after, valid);
            if (valid) {
                if (!matched || t[ti] == '/') return false;
                pi = after;
                ++ti;
                continue;
            }
            if (t[ti] != '[') return false; // no closing "]": a plain "["
        } else {
            char literal = c;
            if (c == '\\' && pi + 1 < p.size()) literal = p[++pi];
            if (t[ti] != literal) return false;
        }
        ++pi;
        ++ti;
    }
    return ti == t.size();
}

// The value of `core.excludesFile` in one git config file, if set there.
std::optional<QString> excludesFileIn(const QString& config) {
    const std::optional<QByteArray> text = readRegularFileBytes(config, smallConfigLimit);
    if (!text) return std::nullopt;
    std::optional<QString> value;
    bool inCore = false;
    for (QByteArray line : text->split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inCore = line.toLower().startsWith("[core]");
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inCore || equals < 0 || line.left(equals).trimmed().toLower() != "excludesfile") continue;
        QByteArray found = line.mid(equals + 1).trimmed();
        if (found.size() >= 2 && found.startsWith('"') && found.endsWith('"')) found = found.mid(1, found.size() - 2);
        value = QFile::decodeName(found);
    }
    return value;
}

} // namespace

IgnoreRules::IgnoreRules(std::string_view text, std::string_view folder) : base(folder) {
    if (!base.empty() && base.back() != '/') base += '/';
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        Pattern pattern;
        if (parseLine(line, pattern.glob, pattern.negated, pattern.directoryOnly, pattern.anchored))
            patterns.push_back(std::move(pattern));
    }
}

IgnoreRules::Verdict IgnoreRules::match(std::string_view path, std::string_view name, bool directory) const {
    if (path.substr(0, base.size()) != base) return Verdict::none;
    const std::string_view below = path.substr(base.size());
    for (auto pattern = patterns.rbegin(); pattern != patterns.rend(); ++pattern) {
        if (pattern->directoryOnly && !directory) continue;
        if (glob(pattern->glob, pattern->anchored ? below : name))
            return pattern->negated ? Verdict::included : Verdict::ignored;
    }
    return Verdict::none;
}

bool IgnoreRules::glob(std::string_view pattern, std::string_view text) {
    int budget = 100000;
    return globFrom(pattern, text, budget);
}

QString IgnoreRules::userExcludesFile() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    std::optional<QString> file;
    for (const QString& path : {config + "/git/config", QDir::homePath() + "/.gitconfig"})
        if (const auto value = excludesFileIn(path)) file = value; // ~/.gitconfig wins, read last
    if (!file) return config + "/git/ignore";
    if (file->startsWith("~/")) return QDir::homePath() + file->mid(1);
    return *file;
}

} // namespace tarn
