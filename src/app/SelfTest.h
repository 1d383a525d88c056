#pragma once

#include <QString>
#include <QStringList>

namespace tarn::SelfTest {

// Prints the diagnostic report to standard output: every discovery path run once against this
// machine, and the parsers on fixed samples. Synchronous; needs no display and no event loop.
void run();

// A list as the report writes it: ["a", "b \"quoted\"", "line\n"].
QString list(const QStringList& items);

} // namespace tarn::SelfTest
