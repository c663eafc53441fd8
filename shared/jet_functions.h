#pragma once

#include <QString>

struct sqlite3;

// The string functions the cash book's SQL texts use, with the semantics of the database
// engine the file format grew up with: 1-based positions, out-of-range parts give "".
namespace tb::jet {

QString mid(const QString& text, int start, int length = -1);
QString left(const QString& text, int length);
// The leading number of a text ("12abc" -> 12, " 7" -> 7, "abc" -> 0).
double val(const QString& text);

// Registers Mid, Mid$, Left, Left$, Val and the German case-insensitive collation
// GERMAN_NOCASE on a connection.
void registerFunctions(sqlite3* db);

// Case-insensitive German comparison, the same the collation uses.
int compareGerman(const QString& a, const QString& b);

} // namespace tb::jet
