#include "platform/linux/DBusSessionInstance.h"

#include "platform/linux/ActivationToken.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

#include <utility>

#include <dlfcn.h>

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

DBusSessionInstance::DBusSessionInstance(std::function<void(SessionInstance::Request)> handler, QObject* parent)
    : QObject(parent), handler(std::move(handler)) {}

// The caller is answered at once; the panel or menu comes up from the event loop.
void DBusSessionInstance::QuickOpen() { ask(SessionInstance::Request::quickOpen, QString()); }

void DBusSessionInstance::Menu() { ask(SessionInstance::Request::menu, QString()); }

void DBusSessionInstance::QuickOpen(const QString& activationToken) {
    ask(SessionInstance::Request::quickOpen, activationToken);
}

void DBusSessionInstance::Menu(const QString& activationToken) { ask(SessionInstance::Request::menu, activationToken); }

// A flood of calls (a key repeating on a desktop shortcut, a script in a loop) becomes one
// request per window, the latest, with nothing kept per call.
void DBusSessionInstance::ask(SessionInstance::Request request, const QString& activationToken) {
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

SessionInstance::Claim SessionInstance::claim(Request request, std::function<void(Request)> handler) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Claim::ours;
    // Without queueing: when the name is taken the claim fails at once, and a second start
    // racing the first one loses to it cleanly.
    const auto reply = bus.interface()->registerService(DBusSessionInstance::service,
                                                        QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        if (bus.interface()->isServiceRegistered(DBusSessionInstance::service))
            return handOver(bus, request) ? Claim::handedOver : Claim::unanswered;
        return Claim::ours; // the bus refused the name for another reason: run alone
    }
    keepReadingLargeMessages(bus);
    auto* instance = new DBusSessionInstance(std::move(handler), QCoreApplication::instance());
    bus.registerObject(DBusSessionInstance::path, instance, QDBusConnection::ExportScriptableSlots);
    return Claim::ours;
}

} // namespace tarn
