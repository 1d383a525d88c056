#include "platform/linux/ChildSpawn.h"

#include <QFile>
#include <csignal>

namespace tarn {

ChildSpawn::ChildSpawn(bool ownProcessGroup) {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (ownProcessGroup) {
        posix_spawnattr_setpgroup(&attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attributes, flags);
}

ChildSpawn::~ChildSpawn() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
}

namespace {
constexpr char16_t escapedBase = 0xDC00;

bool isEscapedByte(const QString& text, qsizetype i) {
    const char16_t c = text.at(i).unicode();
    return c >= escapedBase + 0x80 && c <= escapedBase + 0xFF && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

// The length of the valid UTF-8 sequence at `i`, or 0 when the byte there starts none.
qsizetype sequenceAt(const QByteArray& bytes, qsizetype i) {
    for (qsizetype length = 1; length <= 4 && i + length <= bytes.size(); ++length) {
        const QByteArray piece = bytes.mid(i, length);
        if (QString::fromUtf8(piece).toUtf8() == piece) return length;
    }
    return 0;
}
} // namespace

QString fileArgument(const QByteArray& path) {
    QString text;
    for (qsizetype i = 0; i < path.size();) {
        const qsizetype length = sequenceAt(path, i);
        if (length > 0) {
            text += QString::fromUtf8(path.mid(i, length));
            i += length;
        } else {
            text += QChar(char16_t(escapedBase + uchar(path.at(i))));
            ++i;
        }
    }
    return text;
}

QByteArray ChildSpawn::bytesOf(const QString& text) {
    QByteArray bytes;
    qsizetype run = 0; // where the text not yet converted starts
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isEscapedByte(text, i)) continue;
        bytes += QStringView(text).mid(run, i - run).toUtf8();
        bytes += char(text.at(i).unicode() - escapedBase);
        run = i + 1;
    }
    return bytes + QStringView(text).mid(run).toUtf8();
}

ChildSpawn::Strings::Strings(const QStringList& items) {
    for (const QString& item : items) storage.push_back(bytesOf(item));
    for (QByteArray& s : storage) pointers.push_back(s.data());
    pointers.push_back(nullptr);
}

} // namespace tarn
