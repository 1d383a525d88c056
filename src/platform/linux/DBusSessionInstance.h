#pragma once

#include "platform/SessionInstance.h"

#include <QObject>
#include <functional>
#include <optional>

namespace tarn {

// The running Tarn's object on the session bus, under a well-known name: later starts call
// its methods instead of starting a second tray icon.
class DBusSessionInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tarn.Tarn")
public:
    static constexpr const char* service = "org.tarn.Tarn";
    static constexpr const char* path = "/org/tarn/Tarn";

    explicit DBusSessionInstance(std::function<void(SessionInstance::Request)> handler, QObject* parent);

    // Requests arriving within this long of the first one are merged into one.
    static constexpr int mergeWindowMs = 100;

public Q_SLOTS:
    Q_SCRIPTABLE void QuickOpen();
    Q_SCRIPTABLE void Menu();
    // The same, with the activation token the desktop gave the later start (Wayland): the
    // window shown for the request may take the focus with it.
    Q_SCRIPTABLE void QuickOpen(const QString& activationToken);
    Q_SCRIPTABLE void Menu(const QString& activationToken);

private:
    void ask(SessionInstance::Request request, const QString& activationToken);

    std::function<void(SessionInstance::Request)> handler;
    // The request to carry out when the merge window ends; none when nothing waits.
    std::optional<SessionInstance::Request> pending;
    QString pendingToken;
};

} // namespace tarn
