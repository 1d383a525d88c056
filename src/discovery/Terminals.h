#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>

namespace tarn {

// A supported terminal application, known by its bundle identifier.
struct TerminalApp {
    QString id;
    QString name;

    bool operator==(const TerminalApp&) const = default;

    // The supported terminals, in menu order. "Terminal" stands for the desktop's own terminal.
    static const QList<TerminalApp>& all();
};

size_t qHash(const TerminalApp& terminal, size_t seed = 0);

namespace Terminals {

// The supported terminals that are installed, in table order.
QList<TerminalApp> installed();

// The terminal to use: the chosen one when installed, else the first installed, else Terminal.
TerminalApp current();

} // namespace Terminals
} // namespace tarn
