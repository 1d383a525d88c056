// What finding the installed editors costs with 400 desktop entries in the user's applications
// folder, as every menu and search does: the first lookup reads the entries, later ones reuse
// them until the folder changes. Runs against a temporary home.
//
//   bench_editors
#include "Interleaved.h"
#include "discovery/Editors.h"
#include "discovery/Terminals.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/.local/share"));
    QCoreApplication app(argc, argv);

    const QString applications = home.path() + "/.local/share/applications";
    QDir().mkpath(applications);
    for (int i = 0; i < 400; ++i) {
        QFile entry(QString("%1/app%2.desktop").arg(applications).arg(i));
        if (!entry.open(QIODevice::WriteOnly)) return 1;
        entry.write(
            QString("[Desktop Entry]\nType=Application\nName=App %1\nExec=env A=1 %2/bin/app%1 %F\n"
                    "Icon=app%1\nCategories=Development;\n[Desktop Action new]\nExec=app%1 --new\n")
                .arg(i)
                .arg(home.path())
                .toUtf8());
    }

    QElapsedTimer first;
    first.start();
    const qsizetype found = tarn::Editors::installed().size();
    std::printf("first Editors::installed(): %.3f ms (%lld editors)\n", first.nsecsElapsed() / 1e6,
                static_cast<long long>(found));
    const int rounds = 50;
    const QList<bench::Contender> contenders{
        {"Editors::installed()", [] { tarn::Editors::installed(); }},
        {"Terminals::installed()", [] { tarn::Terminals::installed(); }}};
    const QList<double> medians = bench::interleaved(rounds, contenders);
    for (qsizetype i = 0; i < contenders.size(); ++i)
        std::printf("%-24s %8.3f ms median of %d (goal: 2 ms)\n", contenders[i].name, medians[i],
                    rounds);
    return 0;
}
