#include "platform/linux/DesktopEntry.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QTextStream>

namespace tarn {

namespace {

// Undoes the escapes every desktop-entry string value may hold.
QString unescapeValue(const QString& raw) {
    QString out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            out += raw[i];
            continue;
        }
        const QChar next = raw[++i];
        if (next == 's') out += ' ';
        else if (next == 'n') out += '\n';
        else if (next == 't') out += '\t';
        else if (next == 'r') out += '\r';
        else if (next == '\\') out += '\\';
        else out += QString('\\') + next;
    }
    return out;
}

// Splits an Exec value into words: blanks separate, double quotes group, and inside quotes a
// backslash escapes ", `, $ and itself.
QStringList splitExec(const QString& exec) {
    QStringList words;
    QString current;
    bool inWord = false, inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == '"') inQuotes = false;
            else if (c == '\\' && i + 1 < exec.size() && QStringLiteral("\"`$\\").contains(exec[i + 1]))
                current += exec[++i];
            else current += c;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words << current;
            current = {};
            inWord = false;
        } else if (c == '"') {
            inQuotes = inWord = true;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord) words << current;
    return words;
}

// Splits a shell command the way sh would for plain words: blanks separate, single quotes
// group literally, double quotes group with backslash escapes. Enough to find the program.
QStringList splitShellWords(const QString& script) {
    QStringList words;
    QString current;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            else if (c == '\\' && quote == '"' && i + 1 < script.size()) current += script[++i];
            else current += c;
        } else if (c.isSpace() || c == ';' || c == '&' || c == '|') {
            if (inWord) words << current;
            current.clear();
            inWord = false;
            if (!c.isSpace()) break; // only the first command matters
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < script.size()) {
            current += script[++i];
            inWord = true;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord) words << current;
    return words;
}

bool isAssignment(const QString& word) {
    const qsizetype equals = word.indexOf('=');
    return equals > 0 && !word.startsWith('-');
}

QString baseName(const QString& program) { return program.mid(program.lastIndexOf('/') + 1); }

// Drops the wrappers in front of the real program: env and its options and assignments,
// a shell's -c script, exec.
QStringList unwrap(QStringList words) {
    static const QStringList shells{"sh", "bash", "dash", "zsh"};
    for (int rounds = 0; rounds < 8 && !words.isEmpty(); ++rounds) {
        const QString name = baseName(words.first());
        if (name == QLatin1String("env") || name == QLatin1String("exec")) {
            words.removeFirst();
            while (!words.isEmpty() && (isAssignment(words.first()) || words.first().startsWith('-'))) {
                const QString option = words.takeFirst();
                if ((option == QLatin1String("-u") || option == QLatin1String("-C")) && !words.isEmpty())
                    words.removeFirst();
            }
        } else if (shells.contains(name)) {
            const qsizetype c = words.indexOf(QStringLiteral("-c"));
            if (c < 0 || c + 1 >= words.size()) return words;
            words = splitShellWords(words[c + 1]);
            while (!words.isEmpty() && isAssignment(words.first())) words.removeFirst();
        } else {
            return words;
        }
    }
    return words;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::read(const QString& filePath) {
    const std::optional<QByteArray> bytes = readRegularFileBytes(filePath, smallConfigLimit);
    if (!bytes) return std::nullopt;
    return parse(*bytes, filePath);
}

std::optional<DesktopEntry> DesktopEntry::parse(const QByteArray& contents, const QString& filePath) {
    DesktopEntry entry;
    entry.path = filePath;
    bool inGroup = false, sawGroup = false;
    QTextStream stream(contents);
    while (!stream.atEnd()) {
        const QString line = stream.readLine().trimmed();
        if (line.startsWith('[')) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup || line.startsWith('#')) continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescapeValue(line.mid(equals + 1).trimmed());
        if (key == QLatin1String("Name")) entry.name = value;
        else if (key == QLatin1String("Exec")) entry.exec = value;
        else if (key == QLatin1String("Icon")) entry.icon = value;
        else if (key == QLatin1String("MimeType")) entry.mimeTypes = value.split(';', Qt::SkipEmptyParts);
        else if (key == QLatin1String("Hidden")) entry.hidden = value == QLatin1String("true");
    }
    if (!sawGroup) return std::nullopt;
    return entry;
}

QString DesktopEntry::program() const {
    const QStringList words = unwrap(splitExec(exec));
    return words.isEmpty() ? QString() : words.first();
}

std::optional<QString> DesktopEntry::flatpakApp() const {
    const QStringList words = unwrap(splitExec(exec));
    if (words.size() < 3 || baseName(words[0]) != QLatin1String("flatpak") ||
        words[1] != QLatin1String("run"))
        return std::nullopt;
    for (qsizetype i = 2; i < words.size(); ++i) {
        if (words[i].isEmpty() || words[i].startsWith('-')) continue; // no application id
        return words[i];
    }
    return std::nullopt;
}

} // namespace tarn
