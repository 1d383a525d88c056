// `git status --porcelain=v2 --branch` output, which names files and branches chosen by others.

#include "FuzzCheck.h"
#include "git/GitStatus.h"

using namespace tarn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString output = fuzz::text(data, size);
    const GitStatus status = GitStatus::parse(output);
    FUZZ_CHECK(status.changes >= 0 && status.changes <= output.count('\n') + 1);
    FUZZ_CHECK(status.ahead >= 0 && status.behind >= 0);
    FUZZ_CHECK(!status.summary().isEmpty());
    FUZZ_CHECK(status.counters().isEmpty() ==
               (status.changes == 0 && status.ahead == 0 && status.behind == 0));
    return 0;
}
