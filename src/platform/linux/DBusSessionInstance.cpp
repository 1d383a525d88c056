#include "platform/linux/DBusSessionInstance.h"

#include "platform/linux/ActivationToken.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QTimer>

#include <utility>

#include <dlfcn.h>
#include <unistd.h>

namespace tarn {

namespace {
constexpr int callTimeout = 5000;

// Where the Wayland display plugin takes an activation token at the next window activation.
const char activationTokenVariable[] = "XDG_ACTIVATION_TOKEN";

// libdbus stops reading a connection once the messages it holds pass a limit (63 MiB by
// default), and Qt's D-Bus never starts reading it again: one call of that size from any
// client would leave Tarn deaf for good. The bus itself lets messages of up to 1 GB through, so
// the limit is raised above that. The function is looked up in the libdbus Qt loaded; without
// it nothing changes.
void keepReadingLargeMessages(QDBusConnection& bus) {
    using SetLimit = void (*)(void* connection, long size);
    const auto setLimit = reinterpret_cast<SetLimit>(::dlsym(RTLD_DEFAULT, "dbus_connection_set_max_received_size"));
    if (setLimit && bus.internalPointer()) setLimit(bus.internalPointer(), long(2) << 30);
}

// Set in the environment of the fresh Tarn that replaces a deaf one, and taken out at once.
const char restartVariable[] = "TARN_RESTARTED";
// The second connection the hearing check pings Tarn's own connection from.
const char probeConnection[] = "tarn-hearing";

// False when the running Tarn does not answer.
bool handOver(QDBusConnection& bus, SessionInstance::Request request) {
    if (request == SessionInstance::Request::none) return true;
    const QString method =
        request == SessionInstance::Request::quickOpen ? QStringLiteral("QuickOpen") : QStringLiteral("Menu");
    QDBusMessage call = QDBusMessage::createMethodCall(DBusSessionInstance::service, DBusSessionInstance::path,
                                                       DBusSessionInstance::service, method);
    call.setAutoStartService(false);
    const QString token = qEnvironmentVariable(activationTokenVariable);
    if (!token.isEmpty()) {
        QDBusMessage withToken = call;
        withToken << token;
        // A Tarn of an older version running takes the call without it.
        if (bus.call(withToken, QDBus::Block, callTimeout).type() == QDBusMessage::ReplyMessage) return true;
    }
    return bus.call(call, QDBus::Block, callTimeout).type() == QDBusMessage::ReplyMessage;
}
} // namespace

DBusSessionInstance::DBusSessionInstance(std::function<void(SessionInstance::Request)> handler,
                                         std::function<void()> deaf, QObject* parent)
    : QObject(parent), handler(std::move(handler)), deaf(std::move(deaf)) {
    auto* hearing = new QTimer(this);
    connect(hearing, &QTimer::timeout, this, [this] { checkHearing(QDBusConnection::sessionBus().baseService()); });
    hearing->start(hearingIntervalMs);
}

// The caller is answered at once; the panel or menu comes up from the event loop.
void DBusSessionInstance::QuickOpen() { ask(SessionInstance::Request::quickOpen, QString()); }

void DBusSessionInstance::Menu() { ask(SessionInstance::Request::menu, QString()); }

void DBusSessionInstance::QuickOpen(const QString& activationToken) {
    ask(SessionInstance::Request::quickOpen, activationToken);
}

void DBusSessionInstance::Menu(const QString& activationToken) { ask(SessionInstance::Request::menu, activationToken); }

void DBusSessionInstance::checkHearing(const QString& connection) {
    const QDBusConnection probe = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QString::fromLatin1(probeConnection));
    if (connection.isEmpty() || !probe.isConnected()) return;
    const QDBusMessage ping = QDBusMessage::createMethodCall(connection, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"),
                                                             QStringLiteral("Ping"));
    auto* call = new QDBusPendingCallWatcher(probe.asyncCall(ping, hearingTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, probe](QDBusPendingCallWatcher* answered) {
        answered->deleteLater();
        if (answered->isError()) {
            askBus(probe);
            return;
        }
        unheard = 0;
        Q_EMIT hearingChecked(true);
    });
}

// Tarn went unheard: its own connection is at fault only when the bus answers the probe.
void DBusSessionInstance::askBus(const QDBusConnection& probe) {
    const QDBusMessage getId = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("GetId"));
    auto* call = new QDBusPendingCallWatcher(probe.asyncCall(getId, hearingTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answered) {
        answered->deleteLater();
        const bool isDeaf = !answered->isError();
        Q_EMIT hearingChecked(!isDeaf);
        // Twice in a row: a machine too busy to answer once within the time-out is no cause to
        // start again.
        unheard = isDeaf ? unheard + 1 : 0;
        if (unheard == deafAfter && deaf) deaf();
    });
}

// A flood of calls (a key repeating on a desktop shortcut, a script in a loop) becomes one
// request per window, the latest, with nothing kept per call. A token of absurd size is an
// error of the caller's, not a request.
void DBusSessionInstance::ask(SessionInstance::Request request, const QString& activationToken) {
    if (activationToken.size() > longestArgument) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("The activation token is too long."));
        return;
    }
    const bool waiting = pending.has_value();
    pending = request;
    if (ActivationToken::acceptable(activationToken)) pendingToken = activationToken;
    if (waiting) return;
    QTimer::singleShot(mergeWindowMs, this, [this] {
        const SessionInstance::Request latest = *pending;
        pending.reset();
        ActivationToken::offer(std::exchange(pendingToken, QString()));
        handler(latest);
    });
}

SessionInstance::Claim SessionInstance::claim(Request request, std::function<void(Request)> handler,
                                              std::function<void()> deaf) {
    const bool restarted = qEnvironmentVariableIsSet(restartVariable);
    qunsetenv(restartVariable);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Claim::ours;
    // Without queueing: when the name is taken the claim fails at once, and a second start
    // racing the first one loses to it cleanly. The Tarn that replaces a deaf one waits in the
    // queue instead: the bus may not have seen the old one go yet.
    const auto reply = bus.interface()->registerService(
        DBusSessionInstance::service,
        restarted ? QDBusConnectionInterface::QueueService : QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    const bool named = reply.isValid() && (reply.value() == QDBusConnectionInterface::ServiceRegistered ||
                                           (restarted && reply.value() == QDBusConnectionInterface::ServiceQueued));
    if (!named) {
        if (bus.interface()->isServiceRegistered(DBusSessionInstance::service))
            return handOver(bus, request) ? Claim::handedOver : Claim::unanswered;
        return Claim::ours; // the bus refused the name for another reason: run alone
    }
    keepReadingLargeMessages(bus);
    auto* instance = new DBusSessionInstance(std::move(handler), std::move(deaf), QCoreApplication::instance());
    bus.registerObject(DBusSessionInstance::path, instance, QDBusConnection::ExportScriptableSlots);
    return Claim::ours;
}

// The program's own file by its name, so that the fresh process is "tarn" in process lists
// (through /proc/self/exe it would be "exe"); through /proc/self/exe when that file is gone.
void SessionInstance::restart() {
    const QByteArray name = QFile::encodeName(QCoreApplication::arguments().value(0, QStringLiteral("tarn")));
    char* const arguments[] = {const_cast<char*>(name.constData()), nullptr};
    qputenv(restartVariable, "1");
    const QByteArray file = QFile::encodeName(QCoreApplication::applicationFilePath());
    if (!file.isEmpty() && ::access(file.constData(), X_OK) == 0) ::execv(file.constData(), arguments);
    ::execv("/proc/self/exe", arguments);
    qunsetenv(restartVariable);
}

} // namespace tarn
