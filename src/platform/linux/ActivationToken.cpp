#include "platform/linux/ActivationToken.h"

#include <QCoreApplication>
#include <QTimer>

namespace tarn::ActivationToken {

namespace {
const char variable[] = "XDG_ACTIVATION_TOKEN";
constexpr qsizetype longest = 256;
} // namespace

bool acceptable(const QString& token) {
    if (token.isEmpty() || token.size() > longest) return false;
    for (const QChar c : token)
        if (c.unicode() < 0x21 || c.unicode() > 0x7e) return false;
    return true;
}

void offer(const QString& token) {
    if (!acceptable(token)) return;
    const QByteArray bytes = token.toLatin1();
    qputenv(variable, bytes);
    // Qt takes out a token it used; one left over is ours to take out, unless a later offer
    // has replaced it.
    QTimer::singleShot(holdMs, QCoreApplication::instance(), [bytes] {
        if (qgetenv(variable) == bytes) qunsetenv(variable);
    });
}

} // namespace tarn::ActivationToken
