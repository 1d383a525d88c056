// Writes to a defaults file as fast as it can, for the crash and race tests.
// Usage: defaults_writer FILE PREFIX COUNT   (COUNT 0: write until killed)
//        defaults_writer --folders PREFIX COUNT   pins COUNT folders /PREFIX<i> through the
//                                                 store, in the standard settings file
#include "model/Store.h"
#include "platform/linux/JsonDefaultsDomain.h"

#include <QCoreApplication>
#include <QStringList>
#include <QUrl>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) return 2;
    const QString prefix = args[2];
    const int count = args[3].toInt();
    if (args[1] == QLatin1String("--folders")) {
        for (int i = 0; i < count; ++i)
            tarn::Store::shared().addFolder(QUrl::fromLocalFile("/" + prefix + QString::number(i)));
        return 0;
    }
    tarn::JsonDefaultsDomain domain(args[1]);
    // A large value makes each write take long enough for a kill to land inside it.
    const QString payload(20000, QChar('x'));
    for (int i = 0; count == 0 || i < count; ++i) {
        const QString key = prefix + QString::number(count == 0 ? i % 50 : i);
        domain.setStringArray(key, {payload, QString::number(i)});
    }
    return 0;
}
