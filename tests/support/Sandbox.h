#pragma once

#include "TempHome.h"
#include "TestPlatform.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace tarn::test {

// What most tests start from, as a base of the test class: a temporary home, the test platform
// (settings in memory, fake applications, desktop and dialogs), and the shared status cache and
// library emptied. `leave` waits until no git read or library task of the test still runs, so
// that nothing of one test reaches into the next.
class Sandbox {
protected:
    void enter();
    void leave();

    // Installs the editor `id` in the home with a command-line launcher that runs `script`;
    // returns the launcher's path.
    QString installEditor(const QString& id = QStringLiteral("com.microsoft.VSCode"),
                          const QByteArray& script = "#!/bin/sh\n");

    std::unique_ptr<TempHome> home;
    std::unique_ptr<TestPlatform> platform;
};

} // namespace tarn::test
