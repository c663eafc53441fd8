#pragma once

#include <QDate>
#include <QString>

namespace tb::cashdate {

// The stored form of a cash-book date: "dd.mm.yyyy" with leading zeros.
QString toText(const QDate& date);

// Reads "dd.mm.yyyy"; an invalid QDate for anything else.
QDate fromText(const QString& text);

// yyyymmdd taken from the text by position (characters 7-10, 4-5, 1-2).
QString key8(const QString& text);

// The number year * 10000 + month * 100 + day, read by position as the range tests do.
int rangeNumber(const QString& text);

// Abbreviated German weekday name ("Mo", "Di", ...).
QString weekdayShort(const QDate& date);

} // namespace tb::cashdate
