// Runs a fuzz target over files instead of fuzzing, so the committed seeds and the inputs of
// past findings are checked by every build, with any compiler.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int replay(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    const QByteArray input = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()),
                           static_cast<size_t>(input.size()));
    return 0;
}

} // namespace

// Each argument is an input file or a folder of them.
int main(int argc, char** argv) {
    int failures = 0, inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QFile::decodeName(argv[i]);
        if (!QFileInfo::exists(argument)) continue; // a target without findings has no folder
        if (!QFileInfo(argument).isDir()) {
            failures += replay(argument);
            ++inputs;
            continue;
        }
        const QDir folder(argument);
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            failures += replay(folder.filePath(name));
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return failures == 0 && inputs > 0 ? 0 : 1;
}
