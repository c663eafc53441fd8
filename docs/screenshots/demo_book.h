#pragma once

#include <QDateTime>
#include <QString>

namespace tb::demo {

// The moment the demo book is shown at: a Saturday morning in March.
QDateTime now();

// Writes the demo book of the manual's pictures: a small shop's first two weeks of March, with
// a float, receipts at 19 and 7 %, purchases, a bank deposit, a cancelled line with its
// counter-entry, done marks, and every running balance stored. The file has no password (as
// during a run). It is the same book at every build.
void writeBook(const QString& path);

} // namespace tb::demo
