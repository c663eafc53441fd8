#pragma once

#include <QStringList>

namespace tb::test {

// The fields of one line of a semicolon-separated file, read as a spreadsheet reads them:
// split at ";" outside quotes, quotes taken off, "" inside quotes is one ". The line ends at
// CR LF or at the end of the text.
QStringList csvFields(const QString& line);

} // namespace tb::test
