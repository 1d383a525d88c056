// Workspace files are written by hand and by editors: JSON with comments and trailing commas.

#include "FuzzCheck.h"
#include "discovery/WorkspaceFile.h"

#include <QDir>
#include <QJsonDocument>

using namespace tarn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzz::text(data, size);
    const QString stripped = WorkspaceFile::stripJSONC(text);
    FUZZ_CHECK(stripped.size() <= text.size());

    // Strict JSON holds nothing to strip.
    QJsonParseError error;
    QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error == QJsonParseError::NoError) FUZZ_CHECK(stripped == text);

    for (const QUrl& folder : WorkspaceFile::folders(fuzz::bytes(data, size), "/work/space")) {
        FUZZ_CHECK(folder.isLocalFile());
        const QString path = folder.toLocalFile();
        FUZZ_CHECK(path.startsWith('/'));
        FUZZ_CHECK(QDir::cleanPath(path) == path);
    }
    return 0;
}
