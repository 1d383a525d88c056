// The origin remote a repository's configuration names; the result is opened in a browser.

#include "FuzzCheck.h"
#include "git/Git.h"

using namespace tarn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<QUrl> url = Git::webURL(fuzz::text(data, size));
    if (!url) return 0;
    FUZZ_CHECK(url->isValid());
    FUZZ_CHECK(url->scheme() == QLatin1String("https"));
    FUZZ_CHECK(!url->host().isEmpty());
    FUZZ_CHECK(url->userInfo().isEmpty());
    FUZZ_CHECK(url->port() == -1);
    return 0;
}
