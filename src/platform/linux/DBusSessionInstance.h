#pragma once

#include "platform/SessionInstance.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <functional>
#include <optional>

namespace tarn {

// The running Tarn's object on the session bus, under a well-known name: later starts call
// its methods instead of starting a second tray icon.
class DBusSessionInstance : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tarn.Tarn")
public:
    static constexpr const char* service = "org.tarn.Tarn";
    static constexpr const char* path = "/org/tarn/Tarn";

    DBusSessionInstance(std::function<void(SessionInstance::Request)> handler, std::function<void()> deaf,
                        QObject* parent);

    // Requests arriving within this long of the first one are merged into one.
    static constexpr int mergeWindowMs = 100;
    // A token longer than this is no token: the call is refused.
    static constexpr qsizetype longestArgument = 4096;
    // How often Tarn makes sure it hears the bus, and how long the answer may take.
    static constexpr int hearingIntervalMs = 60000;
    static constexpr int hearingTimeoutMs = 5000;
    // Checks in a row that find Tarn deaf before `deaf` is called.
    static constexpr int deafAfter = 2;

    // Pings the connection of unique name `connection` (Tarn's own, every `hearingIntervalMs`)
    // from a second one, through the bus; when that goes unanswered but the bus answers the
    // second connection, the first no longer reads; `deaf` is called when that is found
    // `deafAfter` times in a row. `hearingChecked` tells each result.
    void checkHearing(const QString& connection);

Q_SIGNALS:
    void hearingChecked(bool heard);

public Q_SLOTS:
    Q_SCRIPTABLE void QuickOpen();
    Q_SCRIPTABLE void Menu();
    // The same, with the activation token the desktop gave the later start (Wayland): the
    // window shown for the request may take the focus with it.
    Q_SCRIPTABLE void QuickOpen(const QString& activationToken);
    Q_SCRIPTABLE void Menu(const QString& activationToken);

private:
    void ask(SessionInstance::Request request, const QString& activationToken);

    void askBus(const QDBusConnection& probe);

    std::function<void(SessionInstance::Request)> handler;
    std::function<void()> deaf;
    int unheard = 0; // checks in a row that found Tarn deaf
    // The request to carry out when the merge window ends; none when nothing waits.
    std::optional<SessionInstance::Request> pending;
    QString pendingToken;
};

} // namespace tarn
