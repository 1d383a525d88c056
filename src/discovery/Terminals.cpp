#include "discovery/Terminals.h"

#include "model/Store.h"
#include "platform/Applications.h"
#include "platform/DefaultsDomain.h"
#include "platform/Platform.h"

namespace tarn {

const QList<TerminalApp>& TerminalApp::all() {
    static const QList<TerminalApp> terminals{{"com.apple.Terminal", "Terminal"},
                                              {"com.googlecode.iterm2", "iTerm"},
                                              {"com.mitchellh.ghostty", "Ghostty"},
                                              {"dev.warp.Warp-Stable", "Warp"}};
    return terminals;
}

size_t qHash(const TerminalApp& t, size_t seed) { return qHashMulti(seed, t.id, t.name); }

namespace Terminals {

QList<TerminalApp> installed() {
    QList<TerminalApp> found;
    for (const TerminalApp& terminal : TerminalApp::all())
        if (platform().applications().find(terminal.id)) found << terminal;
    return found;
}

TerminalApp current() {
    const QList<TerminalApp> candidates = installed();
    if (candidates.isEmpty()) return TerminalApp::all().first();
    if (const auto chosen = Store::shared().defaults().string(Keys::terminalID)) {
        for (const TerminalApp& terminal : candidates)
            if (terminal.id == *chosen) return terminal;
    }
    return candidates.first();
}

} // namespace Terminals
} // namespace tarn
