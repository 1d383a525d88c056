#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The patterns of one file of git's ignore rules (a .gitignore, .git/info/exclude, the user's
// excludes file), read as git reads them: comments, escapes, "!" to re-include, a trailing "/"
// for folders only, a "/" inside anchoring the pattern to the file's folder, "*", "?", "[…]"
// and "**". Names are bytes, compared as they are (git on Linux ignores no case).
class IgnoreRules {
public:
    enum class Verdict { none, ignored, included };

    IgnoreRules() = default;
    // `base`: the folder holding the file, relative to the repository's top ("" at the top and
    // for the exclude files).
    IgnoreRules(std::string_view text, std::string_view base);

    // What the last pattern matching the item says. `path` is relative to the repository's top,
    // `name` its last part.
    Verdict match(std::string_view path, std::string_view name, bool directory) const;
    bool isEmpty() const { return patterns.empty(); }

    // The excludes file of the user's git configuration (core.excludesFile in ~/.gitconfig or
    // $XDG_CONFIG_HOME/git/config), else $XDG_CONFIG_HOME/git/ignore. Read without running git.
    static QString userExcludesFile();

    // Whether `text` matches the glob `pattern`; "*" and "?" stop at "/", "**" between slashes
    // spans folders. A pathological pattern gives up (no match) rather than take exponential time.
    static bool glob(std::string_view pattern, std::string_view text);

private:
    struct Pattern {
        std::string glob;
        bool negated = false;
        bool directoryOnly = false;
        bool anchored = false; // matched against the path below `base`, not the name alone
    };
    std::vector<Pattern> patterns;
    std::string base; // with a trailing "/" unless empty
};

} // namespace tarn
