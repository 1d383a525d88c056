#include "TestMain.h"

#include "git/GitReaderProcess.h"

#include <QApplication>
#include <QTest>
#include <vector>

namespace tarn::test {

namespace {
struct Registered {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
};
std::vector<Registered>& registry() {
    static std::vector<Registered> all;
    return all;
}
} // namespace

void registerTestClass(const char* name, std::function<std::unique_ptr<QObject>()> make) {
    registry().push_back({name, std::move(make)});
}

} // namespace tarn::test

int main(int argc, char* argv[]) {
    // The git reads of the code under test start this executable as their reader.
    if (argc == 2 && qstrcmp(argv[1], tarn::GitReaderProcess::workerFlag) == 0)
        return tarn::GitReaderProcess::serve();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QStringList arguments = app.arguments();
    QString only;
    if (arguments.size() > 1 && !arguments.at(1).startsWith('-')) only = arguments.takeAt(1);
    int failures = 0;
    for (const auto& test : tarn::test::registry()) {
        if (!only.isEmpty() && only != QLatin1String(test.name)) continue;
        std::unique_ptr<QObject> object = test.make();
        failures += QTest::qExec(object.get(), arguments) != 0;
    }
    return failures == 0 ? 0 : 1;
}
