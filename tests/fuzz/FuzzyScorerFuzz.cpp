// Quick Open scores every title and path against what the user types. The fast ASCII paths
// must agree with the general one, which handles any text.

#include "FuzzCheck.h"
#include "quickopen/Fuzzy.h"

using namespace tarn;

namespace {

void check(const QString& query, const QString& candidate) {
    const std::optional<int> general = Fuzzy::scoreUnicode(query, candidate);
    const std::optional<int> direct = Fuzzy::score(query, candidate);
    const std::optional<int> prepared = Fuzzy::score(Fuzzy::Prepared(query), Fuzzy::Prepared(candidate));
    FUZZ_CHECK(direct == prepared);
    FUZZ_CHECK(direct == general);
    if (direct) FUZZ_CHECK(*direct <= 1000);
}

// The first line is the query, the rest the candidate.
void checkInput(const QString& input) {
    const qsizetype lineFeed = input.indexOf('\n');
    if (lineFeed < 0) return check(input, input);
    check(input.left(lineFeed), input.mid(lineFeed + 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkInput(fuzz::text(data, size));
    // Most titles are ASCII; fold the input onto it so the fast paths are reached often.
    QByteArray ascii = fuzz::bytes(data, size);
    for (char& c : ascii) c = static_cast<char>(c & 0x7f);
    checkInput(QString::fromLatin1(ascii));
    return 0;
}
