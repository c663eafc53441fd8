#pragma once

#include "data_view.h"
#include "money.h"
#include "running_balance.h"

namespace tb {

// The figures of the day view.
struct DayTotals {
    Money receipts;       // a4
    Money payments;       // a5
    Money rates;          // a6 (the sum of the rate texts, as the columns count them)
    Money vat;            // a7
    Money receiptNumbers; // a8
    Money vat1;           // a14, at rate 1
    Money vat2;           // a13, at rate 2
    Money dayAmount() const { return receipts - payments; }
};

DayTotals computeDayTotals(const DataView& lines);

// The lines of one day (the date is bound), in the order they were booked.
inline QString dayLinesSource() {
    return QStringLiteral("Select * from Buchungen WHERE a10 = (?)Order by ID;");
}

// The balance before the first of the listed lines: its stored balance minus its receipt plus
// its payment. Zero for an empty list.
Money carriedInBalance(const DataView& lines);

// The balance carried into a day: every line that comes before the date in the order of the
// running balance, plus the float. For a day with lines this is the carried-in balance above;
// it also holds for a day that has no lines yet.
Money balanceCarriedInto(Database& db, const QString& date, Money floatAmount);
// The balance before one line in that order (date, then ID), plus the float.
Money balanceBefore(Database& db, const QString& date, qint64 id, Money floatAmount);

} // namespace tb
